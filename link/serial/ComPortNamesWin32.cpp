#include "link/serial/ComPortNames.h"
#include "link/serial/PortReadout.h"

namespace amppanel {

// The device namespace form reaches every port number; the plain "COM10" and
// above would be taken for file names.
std::string ComDevicePath(int comPort) {
  if (comPort <= 0) return {};
  return "\\\\.\\COM" + std::to_string(comPort);
}

std::string ComRemoteTarget(int /*comPort*/) { return {}; }

// COMn is the port's own name here.
std::string ComPortExplanationHere(int /*comPort*/) { return {}; }

}  // namespace amppanel
