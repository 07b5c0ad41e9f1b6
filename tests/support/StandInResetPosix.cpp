#include <dlfcn.h>

#include "tests/support/StandInD2xx.h"

namespace amppanel::test {

bool ResetStandIn(const std::string& library) {
  // Loaded once and kept: the handle the link under test opens is the same.
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  auto reset = reinterpret_cast<void (*)()>(::dlsym(handle, "AmpPanelStandIn_Reset"));
  if (reset != nullptr) reset();
  ::dlclose(handle);
  return reset != nullptr;
}

}  // namespace amppanel::test
