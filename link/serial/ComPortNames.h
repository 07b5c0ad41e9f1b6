// COM port numbers as the operator knows them, mapped to this machine's devices.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace amppanel {

// The device that COM port n opens; empty when there is none.
std::string ComDevicePath(int comPort);
// The connection string of COM port n when it is a port on another machine;
// empty otherwise (and always where COM numbers are the system's own ports).
std::string ComRemoteTarget(int comPort);

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
// The device COM port n opens. An entry of the ports folder that is a regular
// file names a port on another machine, not a device: it resolves to nothing.
std::string ResolveComPort(int comPort, const PortSearch& search);
// The connection string in COM port n's file in the ports folder (a regular
// file, not a link to a device); empty when there is none.
std::string RemotePortTarget(int comPort, const PortSearch& search);
// Whether a ports folder entry is a file of its own (not a link, which always
// leads to a device, wherever it points).
bool IsConnectionFile(const std::filesystem::path& entry);
// The first line of `file` that is neither blank nor a # comment, trimmed;
// empty for anything but a small connection file.
std::string ReadConnectionString(const std::filesystem::path& file);
// ttyS0, ttyS1 ..., then ttyUSB0 ..., then ttyACM0 ..., each series ending at
// its first missing number; 256 devices at most.
std::vector<std::string> NumberedSerialDevices(const std::filesystem::path& devDir);

}  // namespace amppanel
