// COM port numbers as the operator knows them, mapped to this machine's devices.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace amppanel {

// The device that COM port n opens; empty when there is none.
std::string ComDevicePath(int comPort);

// Where the ports of this system are looked up (POSIX systems): a folder of
// links named COM1, COM2 ... first, then the serial devices in the order a
// Windows compatibility layer numbers them.
struct PortSearch {
  std::filesystem::path portsDir;
  std::filesystem::path devDir = "/dev";
};

// $XDG_CONFIG_HOME/Norvik/ports (XDG_CONFIG_HOME defaults to ~/.config).
PortSearch DefaultPortSearch();
std::filesystem::path DefaultPortsDir();
std::string ResolveComPort(int comPort, const PortSearch& search);
// ttyS0, ttyS1 ..., then ttyUSB0 ..., then ttyACM0 ..., each series ending at
// its first missing number; 256 devices at most.
std::vector<std::string> NumberedSerialDevices(const std::filesystem::path& devDir);

}  // namespace amppanel
