// The USB driver as one table of entry points, one per role of the FTDI D2XX
// interface that the USB program calls. The
// table is filled at run time: from ftd2xx.dll by ordinal on Windows, from
// libftd2xx.so by exported name elsewhere. Another USB serial layer can fill the
// same table with functions of its own; UsbLink sees only the roles.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace amppanel {

// The D2XX calling convention: stdcall on 32-bit Windows (WINAPI), the
// platform's C convention elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define AMP_D2XX_CALL __stdcall
#else
#define AMP_D2XX_CALL
#endif

// D2XX types: FT_STATUS and DWORD/ULONG are 32 bits on every platform the
// driver ships for; FT_HANDLE is an opaque pointer.
using UsbStatus = std::uint32_t;
using UsbHandle = void*;
using UsbDword = std::uint32_t;

inline constexpr UsbStatus kUsbOk = 0;
inline constexpr UsbStatus kUsbInvalidHandle = 1;
inline constexpr UsbStatus kUsbDeviceNotFound = 2;
inline constexpr UsbStatus kUsbDeviceNotOpened = 3;
inline constexpr UsbStatus kUsbIoError = 4;
inline constexpr UsbDword kUsbOpenBySerialNumber = 1;  // FT_OPEN_BY_SERIAL_NUMBER
inline constexpr UsbDword kUsbPurgeRx = 1;             // FT_PURGE_RX
inline constexpr UsbDword kUsbPurgeTx = 2;             // FT_PURGE_TX
inline constexpr UsbDword kUsbFlagOpened = 1;          // FT_FLAGS_OPENED
inline constexpr std::size_t kUsbIdStringSize = 32;    // buffers of the detail query
inline constexpr std::size_t kUsbDescriptionSize = 128;

// One entry point per role, named by role; argument order as in D2XX.
struct UsbDriverCalls {
  UsbStatus(AMP_D2XX_CALL* openByIndex)(int index, UsbHandle* handle);
  UsbStatus(AMP_D2XX_CALL* close)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* read)(UsbHandle handle, void* buffer, UsbDword count, UsbDword* got);
  UsbStatus(AMP_D2XX_CALL* write)(UsbHandle handle, void* buffer, UsbDword count,
                                  UsbDword* written);
  UsbStatus(AMP_D2XX_CALL* postOpenCall)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* setBaudRate)(UsbHandle handle, UsbDword baud);
  UsbStatus(AMP_D2XX_CALL* setDataFormat)(UsbHandle handle, std::uint8_t wordLength,
                                          std::uint8_t stopBits, std::uint8_t parity);
  UsbStatus(AMP_D2XX_CALL* setFlowControl)(UsbHandle handle, std::uint16_t mode, std::uint8_t on,
                                           std::uint8_t off);
  UsbStatus(AMP_D2XX_CALL* lineRestA)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* linePulseA)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* linePulseB)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* lineRestB)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* purge)(UsbHandle handle, UsbDword mask);
  UsbStatus(AMP_D2XX_CALL* setTimeouts)(UsbHandle handle, UsbDword readMs, UsbDword writeMs);
  UsbStatus(AMP_D2XX_CALL* openById)(void* idString, UsbDword selector, UsbHandle* handle);
  UsbStatus(AMP_D2XX_CALL* postOpenSetting)(UsbHandle handle, UsbDword value);
  UsbStatus(AMP_D2XX_CALL* afterFailure)(UsbHandle handle);
  UsbStatus(AMP_D2XX_CALL* countDevices)(UsbDword* count);
  UsbStatus(AMP_D2XX_CALL* deviceDetail)(UsbDword index, UsbDword* flags, UsbDword* type,
                                         UsbDword* id, UsbDword* location, void* idString,
                                         void* description, UsbHandle* handle);
};

// A filled table and what keeps its functions loaded.
struct UsbDriver {
  std::string name;  // the library (or backend) it came from, for messages
  UsbDriverCalls calls{};
  std::shared_ptr<void> keepAlive;  // the loaded library; released last
};

// A driver, or why there is none ("libftd2xx.so: cannot open shared object
// file ...", "ftd2xx.dll has no entry point 27 (FT_OpenEx, UsbOpenById)").
struct UsbDriverLoad {
  std::shared_ptr<const UsbDriver> driver;
  std::string error;
};

// Where UsbLink and ListUsbDevices get their driver; called at connect time.
using UsbDriverSource = std::function<UsbDriverLoad()>;

// One row of the binding: the role, its ordinal in ftd2xx.dll and its exported
// name in libftd2xx.so.
struct D2xxEntry {
  std::string_view role;
  int ordinal;
  std::string_view name;
};

// The 19 rows, in ordinal order.
std::span<const D2xxEntry> D2xxEntries();

// A raw entry point as the platform's loader returns it.
using UsbRawProc = void (*)();
// Fills `calls` from `resolve` (null: not there); returns the entries that are
// missing, as "27 (FT_OpenEx, UsbOpenById)" on Windows-style ordinal binding or
// "FT_OpenEx (UsbOpenById)" by name.
std::string FillD2xxCalls(UsbDriverCalls& calls,
                          const std::function<UsbRawProc(const D2xxEntry&)>& resolve,
                          bool byOrdinal);
// True when every role has an entry point.
bool D2xxCallsComplete(const UsbDriverCalls& calls);

// The environment variable that names the library to load instead of the
// platform's default.
inline constexpr const char* kD2xxLibraryVariable = "AMPPANEL_D2XX";
// "ftd2xx.dll" on Windows, "libftd2xx.so" elsewhere ("libftd2xx.dylib" on macOS).
std::string_view DefaultD2xxLibrary();
// The library to load: the variable's value when set and not empty, else the
// default name.
std::string D2xxLibraryPath();

// Loads the D2XX library at `path` and binds every role: by ordinal on
// Windows, by name elsewhere. Never throws.
UsbDriverLoad LoadD2xxLibrary(const std::string& path);
// LoadD2xxLibrary(D2xxLibraryPath()): the default UsbDriverSource.
UsbDriverLoad LoadD2xxDriver();

}  // namespace amppanel
