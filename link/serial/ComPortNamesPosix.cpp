#include "link/serial/ComPortNames.h"
#include "link/serial/PortReadout.h"

namespace amppanel {

std::string ComDevicePath(int comPort) { return ResolveComPort(comPort, DefaultPortSearch()); }

std::string ComRemoteTarget(int comPort) { return RemotePortTarget(comPort, DefaultPortSearch()); }

std::string ComPortExplanationHere(int comPort) {
  return ComPortExplanation(comPort,
                            LocateComPort(comPort, DefaultPortSearch(), "/dev/serial/by-id"));
}

}  // namespace amppanel
