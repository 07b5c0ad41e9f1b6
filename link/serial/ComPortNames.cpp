#include "link/serial/ComPortNames.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace amppanel {

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxNumberedDevices = 256;
// A connection string is one short line; a bigger file is something else.
constexpr std::uintmax_t kMaxConnectionFile = 4096;

fs::path PortsEntry(int comPort, const PortSearch& search) {
  if (comPort <= 0 || search.portsDir.empty()) return {};
  return search.portsDir / ("COM" + std::to_string(comPort));
}
}  // namespace

std::filesystem::path DefaultPortsDir() {
  fs::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    config = fs::path(home) / ".config";
  }
  if (config.empty()) return {};
  return config / "Norvik" / "ports";
}

PortSearch DefaultPortSearch() { return PortSearch{.portsDir = DefaultPortsDir()}; }

std::vector<std::string> NumberedSerialDevices(const fs::path& devDir) {
  std::vector<std::string> devices;
  for (const char* series : {"ttyS", "ttyUSB", "ttyACM"}) {
    for (int n = 0; devices.size() < kMaxNumberedDevices; ++n) {
      const fs::path device = devDir / (series + std::to_string(n));
      std::error_code ec;
      if (!fs::exists(device, ec)) break;
      devices.push_back(device.string());
    }
  }
  return devices;
}

std::string ResolveComPort(int comPort, const PortSearch& search) {
  if (comPort <= 0) return {};
  if (const fs::path link = PortsEntry(comPort, search); !link.empty()) {
    std::error_code ec;
    // Opened as a device, a text file would take the amplifier's frames.
    if (IsConnectionFile(link)) return {};
    if (fs::is_symlink(link, ec) || fs::exists(link, ec)) return link.string();
  }
  const auto devices = NumberedSerialDevices(search.devDir);
  const auto index = static_cast<std::size_t>(comPort - 1);
  return index < devices.size() ? devices[index] : std::string();
}

bool IsConnectionFile(const fs::path& entry) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(entry, ec));
}

std::string ReadConnectionString(const fs::path& file) {
  std::error_code ec;
  if (!IsConnectionFile(file)) return {};
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec || size > kMaxConnectionFile) return {};
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
  }
  return {};
}

std::string RemotePortTarget(int comPort, const PortSearch& search) {
  const fs::path entry = PortsEntry(comPort, search);
  return entry.empty() ? std::string() : ReadConnectionString(entry);
}

}  // namespace amppanel
