#include <windows.h>

#include "tests/support/StandInD2xx.h"

namespace amppanel::test {

bool ResetStandIn(const std::string& library) {
  HMODULE module = ::LoadLibraryA(library.c_str());
  if (module == nullptr) return false;
  auto reset = reinterpret_cast<void(WINAPI*)()>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module, "AmpPanelStandIn_Reset")));
  if (reset != nullptr) reset();
  ::FreeLibrary(module);
  return reset != nullptr;
}

}  // namespace amppanel::test
