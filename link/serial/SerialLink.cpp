#include "link/serial/SerialLink.h"

namespace amppanel {

int BaudForIndex(int baudIndex) {
  if (baudIndex < 0 || baudIndex >= static_cast<int>(kBaudTable.size())) {
    baudIndex = kDefaultBaudIndex;
  }
  return kBaudTable[static_cast<std::size_t>(baudIndex)];
}

}  // namespace amppanel
