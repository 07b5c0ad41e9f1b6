#include "link/serial/PortReadout.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "link/serial/SerialLink.h"

namespace amppanel {

namespace fs = std::filesystem;

Readout ComPortReadout(int comPort) {
  if (comPort == 0) return {.text = "NONE", .colour = kNoPortColour};
  return {.text = "COM" + std::to_string(comPort), .colour = kPortColour};
}

std::string BaudReadout(int baudIndex) { return std::to_string(BaudForIndex(baudIndex)); }

namespace {

// The first name in `byIdDir` (in name order) that leads to `device`.
fs::path StableNameOf(const fs::path& device, const fs::path& byIdDir) {
  std::error_code ec;
  if (byIdDir.empty() || !fs::is_directory(byIdDir, ec)) return {};
  std::vector<fs::path> names;
  for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path());
  }
  std::sort(names.begin(), names.end());
  for (const fs::path& name : names) {
    const fs::path target = fs::canonical(name, ec);
    if (!ec && target == device) return name;
  }
  return {};
}

}  // namespace

ComPortLocation LocateComPort(int comPort, const PortSearch& search, const fs::path& byIdDir) {
  ComPortLocation location;
  if (comPort <= 0) return location;
  if (!search.portsDir.empty()) {
    location.portsLink = search.portsDir / ("COM" + std::to_string(comPort));
  }
  if (!location.portsLink.empty() && IsConnectionFile(location.portsLink)) {
    location.viaPortsLink = true;
    location.remoteFile = true;
    location.remoteTarget = ReadConnectionString(location.portsLink);
    return location;
  }
  const std::string opened = ResolveComPort(comPort, search);
  if (opened.empty()) return location;
  location.viaPortsLink = !location.portsLink.empty() && fs::path(opened) == location.portsLink;
  std::error_code ec;
  location.device = fs::canonical(opened, ec);
  if (ec) {
    location.device.clear();
    if (location.viaPortsLink) location.linkTarget = fs::read_symlink(opened, ec);
    return location;
  }
  location.stableName = StableNameOf(location.device, byIdDir);
  return location;
}

std::string ComPortExplanation(int comPort, const ComPortLocation& location) {
  if (comPort <= 0) return "No port chosen: connecting fails until one is.";
  const std::string name = "COM" + std::to_string(comPort);
  const std::string pin =
      location.portsLink.empty()
          ? std::string()
          : "\nTo give a device this number, link it as " + location.portsLink.string() + ".";
  if (location.remoteFile) {
    if (location.remoteTarget.empty()) {
      return name + " is the file " + location.portsLink.string() +
             ", which holds no connection string: connecting fails until it does.";
    }
    return name + " is a port on another machine:\n" + location.remoteTarget + "\n(from " +
           location.portsLink.string() + ").";
  }
  if (location.device.empty()) {
    if (location.viaPortsLink && !location.linkTarget.empty()) {
      return name + " is linked as " + location.portsLink.string() + " to " +
             location.linkTarget.string() + ", which does not exist on this machine.";
    }
    return name + " does not exist on this machine." + pin;
  }
  std::string text = name + " is " + location.device.string();
  if (!location.stableName.empty()) text += "\n(" + location.stableName.string() + ")";
  if (location.viaPortsLink) {
    text += "\nlinked as " + location.portsLink.string() + ".";
  } else {
    // A numbered device changes with what else is plugged in: say how to hold it.
    text += "." + pin;
  }
  return text;
}

}  // namespace amppanel
