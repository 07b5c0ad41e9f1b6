#include "link/Link.h"

namespace amppanel {

LinkResult Link::ReadAll(std::span<std::uint8_t> buffer) {
  LinkResult total;
  while (total.count < buffer.size()) {
    const LinkResult r = Read(buffer.subspan(total.count));
    total.count += r.count;
    total.status = r.status;
    if (r.status != 0 || r.count == 0) break;
  }
  return total;
}

}  // namespace amppanel
