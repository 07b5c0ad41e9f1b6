// The exported face of the stand-in D2XX library: FTDI's names with FTDI's
// calling convention (WINAPI), each handing over to StandInD2xx. On Windows a
// .def file exports them by the ordinals of the real ftd2xx.dll; elsewhere
// they are exported by name, as libftd2xx.so does.
#include <cstdlib>
#include <optional>
#include <string>

#include "sim/d2xx/StandInD2xx.h"

#if defined(_WIN32)
#define AMP_STANDIN_EXPORT  // exported by ftd2xx.def
#else
#define AMP_STANDIN_EXPORT __attribute__((visibility("default")))
#endif

using amppanel::StandInD2xx;
using amppanel::UsbDword;
using amppanel::UsbHandle;
using amppanel::UsbStatus;

namespace {
StandInD2xx& D() { return StandInD2xx::Instance(); }
}  // namespace

extern "C" {

AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_Open(int index, UsbHandle* handle) {
  return D().Open(index, handle);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_Close(UsbHandle h) { return D().Close(h); }
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_Read(UsbHandle h, void* buffer, UsbDword count,
                                                   UsbDword* got) {
  return D().Read(h, buffer, count, got);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_Write(UsbHandle h, void* buffer, UsbDword count,
                                                    UsbDword* written) {
  return D().Write(h, buffer, count, written);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_ResetDevice(UsbHandle h) {
  return D().ResetDevice(h);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetBaudRate(UsbHandle h, UsbDword baud) {
  return D().SetBaudRate(h, baud);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetDataCharacteristics(UsbHandle h, std::uint8_t bits,
                                                                     std::uint8_t stop,
                                                                     std::uint8_t parity) {
  return D().SetDataCharacteristics(h, bits, stop, parity);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetFlowControl(UsbHandle h, std::uint16_t mode,
                                                             std::uint8_t on, std::uint8_t off) {
  return D().SetFlowControl(h, mode, on, off);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetDtr(UsbHandle h) { return D().SetDtr(h); }
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_ClrDtr(UsbHandle h) { return D().ClrDtr(h); }
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetRts(UsbHandle h) { return D().SetRts(h); }
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_ClrRts(UsbHandle h) { return D().ClrRts(h); }
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_Purge(UsbHandle h, UsbDword mask) {
  return D().Purge(h, mask);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetTimeouts(UsbHandle h, UsbDword readMs,
                                                          UsbDword writeMs) {
  return D().SetTimeouts(h, readMs, writeMs);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_OpenEx(void* arg, UsbDword selector,
                                                     UsbHandle* handle) {
  return D().OpenEx(arg, selector, handle);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_SetResetPipeRetryCount(UsbHandle h, UsbDword count) {
  return D().SetResetPipeRetryCount(h, count);
}
#if !defined(AMP_STANDIN_WITHOUT_CYCLEPORT)
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_CyclePort(UsbHandle h) { return D().CyclePort(h); }
#endif
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_CreateDeviceInfoList(UsbDword* count) {
  return D().CreateDeviceInfoList(count);
}
AMP_STANDIN_EXPORT UsbStatus AMP_D2XX_CALL FT_GetDeviceInfoDetail(UsbDword index, UsbDword* flags,
                                                                  UsbDword* type, UsbDword* id,
                                                                  UsbDword* location,
                                                                  void* idString, void* description,
                                                                  UsbHandle* handle) {
  return D().GetDeviceInfoDetail(index, flags, type, id, location, idString, description, handle);
}

// Not a D2XX name: closes every handle and reads the configuration again from
// the environment (tests call it between cases).
AMP_STANDIN_EXPORT void AMP_D2XX_CALL AmpPanelStandIn_Reset() {
  std::string errors;
  auto config = amppanel::LoadStandInConfig(
      [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (v == nullptr) return std::nullopt;
        return std::string(v);
      },
      errors);
  D().Reset(std::move(config));
  (void)errors;
}

}  // extern "C"

// Every export has exactly the type its role has in the binding's table.
#if defined(AMP_STANDIN_WITHOUT_CYCLEPORT)
#define AMP_STANDIN_CYCLEPORT nullptr
#else
#define AMP_STANDIN_CYCLEPORT FT_CyclePort
#endif
[[maybe_unused]] static constexpr amppanel::UsbDriverCalls kSignatures{FT_Open,
                                                                       FT_Close,
                                                                       FT_Read,
                                                                       FT_Write,
                                                                       FT_ResetDevice,
                                                                       FT_SetBaudRate,
                                                                       FT_SetDataCharacteristics,
                                                                       FT_SetFlowControl,
                                                                       FT_SetDtr,
                                                                       FT_ClrDtr,
                                                                       FT_SetRts,
                                                                       FT_ClrRts,
                                                                       FT_Purge,
                                                                       FT_SetTimeouts,
                                                                       FT_OpenEx,
                                                                       FT_SetResetPipeRetryCount,
                                                                       AMP_STANDIN_CYCLEPORT,
                                                                       FT_CreateDeviceInfoList,
                                                                       FT_GetDeviceInfoDetail};
