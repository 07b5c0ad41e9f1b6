// The port configuration of the Windows serial link, apart from the port
// itself so that it can be checked without one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "link/serial/SerialLink.h"

namespace amppanel {

static_assert(sizeof(DCB) == 28);
inline constexpr DWORD kCommConfigSize = 52;
static_assert(sizeof(COMMCONFIG) == kCommConfigSize);

// 8 data bits, no parity, one stop bit, no flow control of any kind, binary,
// DTR and RTS low until the ON line is pulsed. Everything else stays as the
// driver reported it: the XON/XOFF limits and characters, EofChar, EvtChar and
// whether errors are replaced by ErrorChar are the driver's business.
inline void SetLinkDcb(DCB& dcb, int baud) {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = static_cast<DWORD>(baud);
  dcb.fBinary = 1;
  dcb.fParity = 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fNull = 0;
  dcb.fAbortOnError = 0;
  dcb.ErrorChar = static_cast<char>(0xFF);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
}

inline COMMTIMEOUTS LinkCommTimeouts(COMMTIMEOUTS t, const SerialTimeouts& s) {
  t.ReadIntervalTimeout = static_cast<DWORD>(s.readInterval.count());
  t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(s.readMultiplier.count());
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(s.readConstant.count());
  t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(s.writeMultiplier.count());
  t.WriteTotalTimeoutConstant = static_cast<DWORD>(s.writeConstant.count());
  return t;
}

// Hands `dcb` to the driver once more through its configuration record,
// marked as an RS-232 port. `get` and `set` have the shape of GetCommConfig
// and SetCommConfig without the handle. A driver with provider data of its own
// needs more than the 52 bytes first offered: it fails and reports the size it
// needs. That size is never passed with the smaller record (the driver would
// read past its end); the record is taken again at the size asked for.
// False when the record could not be read or written.
template <class Get, class Set>
bool ApplyCommConfig(const DCB& dcb, Get&& get, Set&& set) {
  std::vector<std::uint64_t> storage(kCommConfigSize / sizeof(std::uint64_t) + 1);
  DWORD capacity = kCommConfigSize;
  DWORD size = capacity;
  auto* config = reinterpret_cast<COMMCONFIG*>(storage.data());
  if (!get(config, &size)) {
    if (size <= capacity) return false;
    storage.assign(size / sizeof(std::uint64_t) + 1, 0);
    capacity = size;
    config = reinterpret_cast<COMMCONFIG*>(storage.data());
    if (!get(config, &size)) return false;
  }
  if (size > capacity) return false;
  config->dcb = dcb;
  config->dwProviderSubType = PST_RS232;
  return set(config, size) != FALSE;
}

}  // namespace amppanel
