// The Windows serial link against the virtual amplifier: the native ampsim on
// a pseudo-terminal that the CTest fixture links into wine as a COM port (its
// number in AMP_AMPSIM_COM), opened by the link as "\\.\COMn". Real
// time-outs of wine's serial driver.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/serial/ComPortNames.h"
#include "link/serial/SerialLink.h"
#include "protocol/PollStep.h"
#include "sim/AmpModel.h"

namespace amppanel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The amplifier's port; 0 when the fixture did not run.
int AmpPort() {
  const char* n = std::getenv("AMP_AMPSIM_COM");
  return n != nullptr ? std::atoi(n) : 0;
}

class WineComPort : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = AmpPort();
    if (port_ <= 0) {
      GTEST_SKIP() << "no virtual amplifier: AMP_AMPSIM_COM is set by the CTest fixture that "
                      "starts ampsim and links its terminal into wine";
    }
    ASSERT_EQ(link_.Open({.comPort = port_, .baudIndex = 6}), 0) << "COM" << port_;
  }

  // One poll of the display, as the poll worker does it.
  PollState Poll() {
    PollState state;
    std::string errorText;
    PollOnce(link_, SerialProfile(), state, errorText);
    return state;
  }

  int port_ = 0;
  SerialLink link_;
};

TEST_F(WineComPort, OpensByTheDeviceNameAndExchangesQueriesRepliesAndKeys) {
  EXPECT_EQ(link_.DevicePath(), "\\\\.\\COM" + std::to_string(port_));
  PollState before = Poll();
  ASSERT_TRUE(before.FrameReady) << "no complete display reply";
  EXPECT_FALSE(before.SyncLost);

  // The next poll purges the port: give the key time to reach the amplifier,
  // as the 80 ms between two polls do in the program.
  const auto key = KeyFrame(SerialProfile(), key::kOperate);
  const LinkResult w = link_.Write(key);
  EXPECT_EQ(w.status, 0);
  EXPECT_EQ(w.count, key.size());
  std::this_thread::sleep_for(milliseconds(200));

  const PollState after = Poll();
  ASSERT_TRUE(after.FrameReady);
  const auto operateLamp = [](const PollState& s) {
    return (static_cast<std::uint8_t>(~s.StatusByte) & lamp::kOperate) != 0;
  };
  EXPECT_NE(operateLamp(after), operateLamp(before)) << "OPERATE did not toggle";

  // Line calls on a port without modem lines fail quietly and harm nothing.
  link_.LinePulse();
  link_.LineRest();
  EXPECT_TRUE(Poll().FrameReady);
}

TEST_F(WineComPort, ReadOfWhichOnlyPartArrivesReturnsTheShortCountAfterTheTimeouts) {
  ASSERT_EQ(link_.Purge(), 0);
  ASSERT_EQ(link_.Write(QueryFrame(SerialProfile())).status, 0);
  // Two bytes more than a display reply: the reply comes, then 200 ms pass
  // without a byte, then the call for the two missing bytes waits its whole
  // 1000 + 2 x 100 ms and returns nothing.
  std::vector<std::uint8_t> buffer(kDisplayReplyWireSize + 2);
  const auto start = Clock::now();
  const LinkResult r = link_.Read(buffer);
  const auto took = Clock::now() - start;
  EXPECT_EQ(r.status, 0) << "a time-out is no failure";
  EXPECT_EQ(r.count, kDisplayReplyWireSize);
  EXPECT_GE(took, milliseconds(1350));
  EXPECT_LT(took, milliseconds(4000));
}

bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST_F(WineComPort, AHeldPortFailsToOpenUntilItIsClosed) {
  SerialLink other;
  const int second = other.Open({.comPort = port_});
  if (second == 0 && UnderWine()) {
    GTEST_SKIP() << "wine applies no sharing mode to a serial device: a second CreateFileA "
                    "without sharing succeeds (Windows' serial drivers refuse it)";
  }
  EXPECT_EQ(second, 1);
  EXPECT_FALSE(other.IsOpen());
  link_.Close();
  EXPECT_EQ(other.Open({.comPort = port_}), 0);
}

TEST(WineComPortMissing, MissingPortOrNoPortFailsToOpen) {
  SerialLink link;
  EXPECT_EQ(link.Open({.comPort = 199}), 1);  // wine gives out low numbers only
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(link.Open({.comPort = 0}), 1);
  EXPECT_EQ(ComDevicePath(0), "");
  std::vector<std::uint8_t> buffer(3);
  EXPECT_EQ(link.Read(buffer).status, 4);
  EXPECT_EQ(link.Write(buffer).status, 4);
}

}  // namespace
}  // namespace amppanel
