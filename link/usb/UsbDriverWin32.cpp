// ftd2xx.dll is bound by ordinal, as the original program does.
#include <windows.h>

#include "link/usb/UsbDriver.h"

namespace amppanel {
namespace {

std::string LastErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = "error " + std::to_string(code);
  if (n > 0 && text != nullptr) {
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
      message.pop_back();
    }
    result += ": " + message;
  }
  if (text != nullptr) ::LocalFree(text);
  return result;
}

}  // namespace

std::string_view DefaultD2xxLibrary() { return "ftd2xx.dll"; }

UsbDriverLoad LoadD2xxLibrary(const std::string& path) {
  UsbDriverLoad load;
  HMODULE library = ::LoadLibraryA(path.c_str());
  if (library == nullptr) {
    load.error = path + ": the library cannot be loaded (" + LastErrorText(::GetLastError()) + ")";
    return load;
  }
  auto driver = std::make_shared<UsbDriver>();
  driver->name = path;
  driver->keepAlive =
      std::shared_ptr<void>(library, [](void* l) { ::FreeLibrary(static_cast<HMODULE>(l)); });
  const std::string missing = FillD2xxCalls(
      driver->calls,
      [library](const D2xxEntry& e) {
        const FARPROC proc =
            ::GetProcAddress(library, MAKEINTRESOURCEA(static_cast<WORD>(e.ordinal)));
        // void (*)() matches every function type, here and in the cast that follows.
        return reinterpret_cast<UsbRawProc>(proc);
      },
      true);
  if (!missing.empty()) {
    load.error = path + ": entry points missing (ordinal): " + missing;
    return load;
  }
  load.driver = std::move(driver);
  return load;
}

}  // namespace amppanel
