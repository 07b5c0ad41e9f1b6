#include "link/usb/UsbDriver.h"

#include <array>
#include <cstdlib>

namespace amppanel {
namespace {

// The binding of design.md: role, ordinal in ftd2xx.dll, exported name.
constexpr std::array<D2xxEntry, 19> kEntries{{
    {"UsbOpenByIndex", 1, "FT_Open"},
    {"UsbClose", 2, "FT_Close"},
    {"UsbRead", 3, "FT_Read"},
    {"UsbWrite", 4, "FT_Write"},
    {"UsbPostOpenCall", 6, "FT_ResetDevice"},
    {"UsbSetBaudRate", 7, "FT_SetBaudRate"},
    {"UsbSetDataFormat", 8, "FT_SetDataCharacteristics"},
    {"UsbSetFlowControl", 9, "FT_SetFlowControl"},
    {"UsbLineRestA", 10, "FT_SetDtr"},
    {"UsbLinePulseA", 11, "FT_ClrDtr"},
    {"UsbLinePulseB", 12, "FT_SetRts"},
    {"UsbLineRestB", 13, "FT_ClrRts"},
    {"UsbPurge", 16, "FT_Purge"},
    {"UsbSetTimeouts", 17, "FT_SetTimeouts"},
    {"UsbOpenById", 27, "FT_OpenEx"},
    {"UsbPostOpenSetting", 65, "FT_SetResetPipeRetryCount"},
    {"UsbAfterFailure", 69, "FT_CyclePort"},
    {"UsbCountDevices", 70, "FT_CreateDeviceInfoList"},
    {"UsbDeviceDetail", 72, "FT_GetDeviceInfoDetail"},
}};

// Each row's slot in the table, in the order of kEntries.
template <class F>
void Assign(F& slot, UsbRawProc proc) {
  slot = reinterpret_cast<F>(proc);
}

void AssignSlot(UsbDriverCalls& c, std::size_t row, UsbRawProc p) {
  switch (row) {
    case 0:
      return Assign(c.openByIndex, p);
    case 1:
      return Assign(c.close, p);
    case 2:
      return Assign(c.read, p);
    case 3:
      return Assign(c.write, p);
    case 4:
      return Assign(c.postOpenCall, p);
    case 5:
      return Assign(c.setBaudRate, p);
    case 6:
      return Assign(c.setDataFormat, p);
    case 7:
      return Assign(c.setFlowControl, p);
    case 8:
      return Assign(c.lineRestA, p);
    case 9:
      return Assign(c.linePulseA, p);
    case 10:
      return Assign(c.linePulseB, p);
    case 11:
      return Assign(c.lineRestB, p);
    case 12:
      return Assign(c.purge, p);
    case 13:
      return Assign(c.setTimeouts, p);
    case 14:
      return Assign(c.openById, p);
    case 15:
      return Assign(c.postOpenSetting, p);
    case 16:
      return Assign(c.afterFailure, p);
    case 17:
      return Assign(c.countDevices, p);
    case 18:
      return Assign(c.deviceDetail, p);
    default:
      return;
  }
}

}  // namespace

std::span<const D2xxEntry> D2xxEntries() { return kEntries; }

std::string FillD2xxCalls(UsbDriverCalls& calls,
                          const std::function<UsbRawProc(const D2xxEntry&)>& resolve,
                          bool byOrdinal) {
  calls = {};
  std::string missing;
  for (std::size_t row = 0; row < kEntries.size(); ++row) {
    const D2xxEntry& e = kEntries[row];
    const UsbRawProc proc = resolve(e);
    if (proc != nullptr) {
      AssignSlot(calls, row, proc);
      continue;
    }
    if (!missing.empty()) missing += ", ";
    if (byOrdinal) {
      missing +=
          std::to_string(e.ordinal) + " (" + std::string(e.name) + ", " + std::string(e.role) + ")";
    } else {
      missing += std::string(e.name) + " (" + std::string(e.role) + ")";
    }
  }
  return missing;
}

bool D2xxCallsComplete(const UsbDriverCalls& c) {
  return c.openByIndex && c.close && c.read && c.write && c.postOpenCall && c.setBaudRate &&
         c.setDataFormat && c.setFlowControl && c.lineRestA && c.linePulseA && c.linePulseB &&
         c.lineRestB && c.purge && c.setTimeouts && c.openById && c.postOpenSetting &&
         c.afterFailure && c.countDevices && c.deviceDetail;
}

std::string D2xxLibraryPath() {
  const char* value = std::getenv(kD2xxLibraryVariable);
  if (value != nullptr && *value != '\0') return value;
  return std::string(DefaultD2xxLibrary());
}

UsbDriverLoad LoadD2xxDriver() { return LoadD2xxLibrary(D2xxLibraryPath()); }

}  // namespace amppanel
