#include "link/serial/SerialLink.h"

#include "link/LinkStatus.h"

namespace amppanel {

int BaudForIndex(int baudIndex) {
  if (baudIndex < 0 || baudIndex >= static_cast<int>(kBaudTable.size())) {
    baudIndex = kDefaultBaudIndex;
  }
  return kBaudTable[static_cast<std::size_t>(baudIndex)];
}

// A number may name another device while the amplifier's is gone: numbered
// devices close up when an adapter is unplugged, and a removed ports-folder
// link hands the number back to the numbered devices. Opening that one would
// send the amplifier's frames to whatever it is, and stay there.
int SerialLink::Reopen(const LinkSettings& settings) {
  if (devicePath_.empty() || resolver_(settings.comPort) != devicePath_) return kLinkCantOpen;
  return Open(settings);
}

}  // namespace amppanel
