#include "link/serial/ComPortNames.h"

#include <cstdlib>
#include <system_error>

namespace amppanel {

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxNumberedDevices = 256;
}

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
  if (!search.portsDir.empty()) {
    const fs::path link = search.portsDir / ("COM" + std::to_string(comPort));
    std::error_code ec;
    if (fs::is_symlink(link, ec) || fs::exists(link, ec)) return link.string();
  }
  const auto devices = NumberedSerialDevices(search.devDir);
  const auto index = static_cast<std::size_t>(comPort - 1);
  return index < devices.size() ? devices[index] : std::string();
}

}  // namespace amppanel
