// libftd2xx.so (FTDI's D2XX for Linux and macOS) has no ordinals: bind by name.
#include <dlfcn.h>

#include "link/usb/UsbDriver.h"

namespace amppanel {

std::string_view DefaultD2xxLibrary() {
#if defined(__APPLE__)
  return "libftd2xx.dylib";
#else
  return "libftd2xx.so";
#endif
}

UsbDriverLoad LoadD2xxLibrary(const std::string& path) {
  UsbDriverLoad load;
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = ::dlerror();
    load.error = path + ": the library cannot be loaded (" + (why ? why : "unknown reason") + ")";
    return load;
  }
  auto driver = std::make_shared<UsbDriver>();
  driver->name = path;
  driver->keepAlive = std::shared_ptr<void>(library, [](void* l) { ::dlclose(l); });
  const std::string missing = FillD2xxCalls(
      driver->calls,
      [library](const D2xxEntry& e) {
        const std::string name(e.name);
        // POSIX lets a data pointer from dlsym be turned into a function pointer.
        return reinterpret_cast<UsbRawProc>(::dlsym(library, name.c_str()));
      },
      false);
  if (!missing.empty()) {
    load.error = path + ": entry points missing: " + missing;
    return load;
  }
  load.driver = std::move(driver);
  return load;
}

}  // namespace amppanel
