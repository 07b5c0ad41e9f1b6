// The port configuration of the Windows serial link, without a port.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/serial/SerialConfigWin32.h"

namespace amppanel {
namespace {

TEST(SerialDcb, SetsTheLinkFieldsAndLeavesWhatTheDriverReported) {
  DCB dcb;
  std::memset(&dcb, 0xA5, sizeof dcb);  // every bit field set, odd values elsewhere
  const DCB reported = dcb;
  SetLinkDcb(dcb, 28800);

  EXPECT_EQ(dcb.DCBlength, 28u);
  EXPECT_EQ(dcb.BaudRate, 28800u);
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fParity, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
  EXPECT_EQ(dcb.fDsrSensitivity, 0u);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 0u);
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.fNull, 0u);
  EXPECT_EQ(dcb.fAbortOnError, 0u);
  EXPECT_EQ(static_cast<unsigned char>(dcb.ErrorChar), 0xFF);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);

  EXPECT_EQ(dcb.fErrorChar, reported.fErrorChar);
  EXPECT_EQ(dcb.XonLim, reported.XonLim);
  EXPECT_EQ(dcb.XoffLim, reported.XoffLim);
  EXPECT_EQ(dcb.XonChar, reported.XonChar);
  EXPECT_EQ(dcb.XoffChar, reported.XoffChar);
  EXPECT_EQ(dcb.EofChar, reported.EofChar);
  EXPECT_EQ(dcb.EvtChar, reported.EvtChar);
  EXPECT_EQ(dcb.wReserved, reported.wReserved);
  EXPECT_EQ(dcb.wReserved1, reported.wReserved1);
}

// A driver that keeps `needed` bytes of configuration record, and what the
// link handed it.
struct FakeDriver {
  DWORD needed = kCommConfigSize;
  bool getFails = false;
  std::vector<DWORD> offered;  // the record sizes offered to GetCommConfig
  int sets = 0;
  DWORD setSize = 0;
  DCB setDcb{};
  DWORD setSubType = 0;

  BOOL Get(COMMCONFIG* config, DWORD* size) {
    offered.push_back(*size);
    if (getFails) return FALSE;
    if (*size < needed) {
      *size = needed;
      return FALSE;
    }
    std::memset(config, 0, needed);
    config->dwSize = needed;
    config->dwProviderSubType = PST_MODEM;
    *size = needed;
    return TRUE;
  }
  BOOL Set(COMMCONFIG* config, DWORD size) {
    ++sets;
    setSize = size;
    setDcb = config->dcb;
    setSubType = config->dwProviderSubType;
    return TRUE;
  }
  bool Apply(const DCB& dcb) {
    return ApplyCommConfig(
        dcb, [this](COMMCONFIG* c, DWORD* s) { return Get(c, s); },
        [this](COMMCONFIG* c, DWORD s) { return Set(c, s); });
  }
};

TEST(SerialCommConfig, HandsTheDcbToTheDriverAsAnRs232PortInARecordOfTheSizeItNeeds) {
  DCB dcb{};
  SetLinkDcb(dcb, 115200);

  FakeDriver plain;
  EXPECT_TRUE(plain.Apply(dcb));
  EXPECT_EQ(plain.offered, (std::vector<DWORD>{52}));
  EXPECT_EQ(plain.sets, 1);
  EXPECT_EQ(plain.setSize, 52u);
  EXPECT_EQ(plain.setSubType, static_cast<DWORD>(PST_RS232));
  EXPECT_EQ(std::memcmp(&plain.setDcb, &dcb, sizeof dcb), 0);

  // Provider data of its own: the record is taken again at the size asked
  // for, and never passed on with a size beyond what was offered.
  FakeDriver larger;
  larger.needed = 120;
  EXPECT_TRUE(larger.Apply(dcb));
  ASSERT_EQ(larger.offered.size(), 2u);
  EXPECT_GE(larger.offered[1], 120u);
  EXPECT_EQ(larger.setSize, 120u);
  EXPECT_EQ(larger.setDcb.BaudRate, 115200u);

  FakeDriver refusing;
  refusing.getFails = true;
  EXPECT_FALSE(refusing.Apply(dcb));
  EXPECT_EQ(refusing.sets, 0) << "no record to hand back";
}

}  // namespace
}  // namespace amppanel
