#include "link/serial/ComPortNames.h"

namespace amppanel {

std::string ComDevicePath(int comPort) { return ResolveComPort(comPort, DefaultPortSearch()); }

}  // namespace amppanel
