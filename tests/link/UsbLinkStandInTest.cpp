// UsbLink against the stand-in D2XX library, loaded the way the program loads
// the real one (dlopen by name, or LoadLibrary and ordinals on Windows), with
// the virtual amplifier behind it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/BuildProfile.h"
#include "link/LinkStatus.h"
#include "link/usb/UsbDevices.h"
#include "link/usb/UsbLink.h"
#include "protocol/Frames.h"
#include "protocol/PollState.h"
#include "protocol/PollStep.h"
#include "tests/support/StandInD2xx.h"

namespace amppanel {
namespace {

using test::StandInCall;
using test::StandInSession;
using Steady = std::chrono::steady_clock;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---- opening ----

struct OpenCase {
  const char* name;
  const char* id;
  bool enabled;
  const char* expectedCall;
  const char* expectedArgs;
};

class UsbLinkOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(UsbLinkOpen, ChoosesIndexOrIdString) {
  const OpenCase& c = GetParam();
  StandInSession standIn({.devices = "KALDOR01,KALDOR02"});
  UsbLink link;
  ASSERT_EQ(link.Open({.usbIdString = c.id, .usbIdEnabled = c.enabled}), kLinkOk);
  EXPECT_TRUE(link.IsOpen());
  const auto opens = standIn.CallsOf(c.expectedCall);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_TRUE(Contains(opens[0].text, c.expectedArgs)) << opens[0].text;
  EXPECT_EQ(standIn.Calls(), std::vector<std::string>{c.expectedCall});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsbLinkOpen,
    ::testing::Values(OpenCase{"EnabledButEmpty", "", true, "FT_Open", "FT_Open(0)"},
                      OpenCase{"SetButDisabled", "KALDOR02", false, "FT_Open", "FT_Open(0)"},
                      OpenCase{"Neither", "", false, "FT_Open", "FT_Open(0)"},
                      OpenCase{"BothSet", "KALDOR02", true, "FT_OpenEx",
                               "FT_OpenEx(\"KALDOR02\", 1)"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(UsbLinkStandIn, AMissingDeviceOrIdReportsTheDriverStatusAndLeavesTheLinkClosed) {
  {
    StandInSession standIn({.devices = "none"});
    UsbLink link;
    EXPECT_EQ(link.Open({}), 2);  // USB DEVICE NOT FOUND...
    EXPECT_FALSE(link.IsOpen());
  }
  StandInSession standIn({.devices = "KALDOR01"});
  UsbLink link;
  EXPECT_EQ(link.Open({.usbIdString = "OTHER", .usbIdEnabled = true}), 2);
  EXPECT_FALSE(link.IsOpen());
  // A device another handle holds cannot be opened twice.
  UsbLink first;
  ASSERT_EQ(first.Open({}), kLinkOk);
  EXPECT_EQ(link.Open({}), 3);
}

// ---- configuration ----

TEST(UsbLinkStandIn, ConfigureMakesTheEightCallsWithTheirArguments) {
  StandInSession standIn;
  UsbLink link;
  ASSERT_EQ(link.Open({}), kLinkOk);
  link.Configure();
  const std::vector<std::string> expected = {"FT_Open",
                                             "FT_SetResetPipeRetryCount",
                                             "FT_ResetDevice",
                                             "FT_SetBaudRate",
                                             "FT_SetDataCharacteristics",
                                             "FT_SetFlowControl",
                                             "FT_SetTimeouts",
                                             "FT_SetDtr",
                                             "FT_ClrRts"};
  EXPECT_EQ(standIn.Calls(), expected);
  const auto log = standIn.Log();
  auto line = [&](const char* name) {
    for (const StandInCall& c : log)
      if (c.name == name) return c.text;
    return std::string();
  };
  EXPECT_TRUE(Contains(line("FT_SetResetPipeRetryCount"), ", 10000) = 0"));
  EXPECT_TRUE(Contains(line("FT_SetBaudRate"), ", 115200) = 0"));
  EXPECT_TRUE(Contains(line("FT_SetDataCharacteristics"), ", 8, 0, 0) = 0"));
  EXPECT_TRUE(Contains(line("FT_SetFlowControl"), ", 0, 0, 0) = 0"));
  EXPECT_TRUE(Contains(line("FT_SetTimeouts"), ", 1200, 1200) = 0"));
  EXPECT_TRUE(link.IsOpen());
}

struct ConfigureFailure {
  const char* call;
  int location;
};

class UsbLinkConfigureFailure : public ::testing::TestWithParam<ConfigureFailure> {};

TEST_P(UsbLinkConfigureFailure, ReportsItsOwnLocationAndClosesTheHandle) {
  const ConfigureFailure& f = GetParam();
  StandInSession standIn({.fail = std::string(f.call) + ":1:18"});
  UsbLink link;
  ASSERT_EQ(link.Open({}), kLinkOk);
  try {
    link.Configure();
    FAIL() << "no exception";
  } catch (const FT_Exception& e) {
    EXPECT_EQ(std::string(e.what()), "FT_OTHER_ERROR  #[" + std::to_string(f.location) + "]");
  }
  EXPECT_FALSE(link.IsOpen());
  const auto calls = standIn.Calls();
  ASSERT_GE(calls.size(), 2u);
  // The failing call was the last of the sequence; the handle was closed.
  EXPECT_EQ(calls[calls.size() - 2], f.call);
  EXPECT_EQ(calls.back(), "FT_Close");
}

INSTANTIATE_TEST_SUITE_P(EachCall, UsbLinkConfigureFailure,
                         ::testing::Values(ConfigureFailure{"FT_SetResetPipeRetryCount", 1029},
                                           ConfigureFailure{"FT_ResetDevice", 1030},
                                           ConfigureFailure{"FT_SetBaudRate", 1031},
                                           ConfigureFailure{"FT_SetDataCharacteristics", 1032},
                                           ConfigureFailure{"FT_SetFlowControl", 1033},
                                           ConfigureFailure{"FT_SetTimeouts", 1034},
                                           ConfigureFailure{"FT_SetDtr", 1035},
                                           ConfigureFailure{"FT_ClrRts", 1036}),
                         [](const auto& p) { return std::string(p.param.call); });

TEST(UsbLinkStandIn, ARoleNameSelectsTheCallToFailToo) {
  StandInSession standIn({.fail = "UsbSetBaudRate:1:7"});
  UsbLink link;
  ASSERT_EQ(link.Open({}), kLinkOk);
  EXPECT_THROW(link.Configure(), FT_Exception);
  try {
    ASSERT_EQ(link.Open({}), kLinkOk);
    link.Configure();  // the second call succeeds
  } catch (const FT_Exception& e) {
    FAIL() << e.what();
  }
}

// ---- polling, keys and the ON line ----

class UsbLinkConnected : public ::testing::Test {
 protected:
  explicit UsbLinkConnected(StandInSession::Options options = {}) : standIn_(options) {}
  void SetUp() override {
    ASSERT_EQ(link_.Open({}), kLinkOk);
    link_.Configure();
  }
  StandInSession standIn_;
  UsbLink link_;
};

TEST_F(UsbLinkConnected, APollGetsAValidDisplayReply) {
  PollState state;
  std::string error;
  PollOnce(link_, UsbProfile(), state, error);
  EXPECT_TRUE(state.FrameReady);
  EXPECT_FALSE(state.SyncLost);
  EXPECT_FALSE(state.LinkFailed) << error;
  const auto purges = standIn_.CallsOf("FT_Purge");
  ASSERT_EQ(purges.size(), 1u);
  EXPECT_TRUE(Contains(purges[0].text, ", 1) = 0"));
  const auto writes = standIn_.CallsOf("FT_Write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_TRUE(Contains(writes[0].text, "55 55 55 55 55 01 80 80, 8) = 0 [8]")) << writes[0].text;
}

TEST_F(UsbLinkConnected, KeyFramesWithFiveSyncBytesReachTheAmplifier) {
  EXPECT_EQ(link_.Write(KeyFrame(UsbProfile(), 13)).count, 8u);
  EXPECT_EQ(link_.Write(KeyFrame(UsbProfile(), 101)).count, 8u);
  std::vector<std::string> frames;
  for (const StandInCall& c : standIn_.CallsOf("engine")) frames.push_back(c.text);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_TRUE(Contains(frames[0], "sync 5: key 13")) << frames[0];
  EXPECT_TRUE(Contains(frames[1], "sync 5: key 101")) << frames[1];
}

TEST_F(UsbLinkConnected, UploadTimeoutsGoTo3000AndBack) {
  ApplyUploadTimeouts(link_, UsbProfile());
  RestoreLinkTimeouts(link_);
  const auto t = standIn_.CallsOf("FT_SetTimeouts");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_TRUE(Contains(t[1].text, ", 3000, 3000) = 0"));
  EXPECT_TRUE(Contains(t[2].text, ", 1200, 1200) = 0"));
}

class UsbLinkUploadTimeoutFailure : public UsbLinkConnected {
 protected:
  UsbLinkUploadTimeoutFailure() : UsbLinkConnected({.fail = "FT_SetTimeouts:2:4"}) {}
};

TEST_F(UsbLinkUploadTimeoutFailure, RaisesWithLocation1414) {
  try {
    ApplyUploadTimeouts(link_, UsbProfile());
    FAIL() << "no exception";
  } catch (const FT_Exception& e) {
    EXPECT_EQ(std::string(e.what()), "FATAL ERROR ON USB LINK...  #[1414]");
  }
}

class UsbLinkSwitchedOff : public UsbLinkConnected {
 protected:
  UsbLinkSwitchedOff() : UsbLinkConnected({.ampsim = "--off --boot-ms 60000"}) {}
};

TEST_F(UsbLinkSwitchedOff, TheOnPulseIsThePulsePairThenTheRestPair1000msLater) {
  PollState before;
  std::string error;
  PollOnce(link_, UsbProfile(), before, error);
  ASSERT_TRUE(before.FrameReady) << error;
  EXPECT_EQ(before.StatusByte, 0xFF);  // switched off: every lamp dark (lamps are the complement)

  link_.LinePulse();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // kOnPulse
  link_.LineRest();

  std::vector<StandInCall> lines;
  for (const StandInCall& c : standIn_.Log()) {
    if (c.name == "FT_ClrDtr" || c.name == "FT_SetRts" || c.name == "FT_SetDtr" ||
        c.name == "FT_ClrRts")
      lines.push_back(c);
  }
  // The rest pair of Configure, then the pulse pair, then the rest pair.
  ASSERT_EQ(lines.size(), 6u);
  const std::vector<std::string> order = {lines[2].name, lines[3].name, lines[4].name,
                                          lines[5].name};
  EXPECT_EQ(order, (std::vector<std::string>{"FT_ClrDtr", "FT_SetRts", "FT_SetDtr", "FT_ClrRts"}));
  const double gap = lines[4].ms - lines[3].ms;
  EXPECT_GE(gap, 990.0);
  EXPECT_LT(gap, 1500.0);

  PollState after;
  PollOnce(link_, UsbProfile(), after, error);
  ASSERT_TRUE(after.FrameReady) << error;
  EXPECT_EQ(after.StatusByte, 0x00);  // the amplifier's self test: every lamp lit
}

// ---- drain ----

TEST_F(UsbLinkConnected, DrainOnAnIdleLinkLastsOneReadTimeout) {
  const auto start = Steady::now();
  link_.Drain();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
  EXPECT_GE(took.count(), 1150);
  EXPECT_LT(took.count(), 2300);  // one time-out, not two
  const auto reads = standIn_.CallsOf("FT_Read");
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_TRUE(Contains(reads[0].text, ", 512) = 0 [0]")) << reads[0].text;
}

TEST_F(UsbLinkConnected, DrainDiscardsWhatArrivesThenWaitsOneTimeout) {
  ASSERT_EQ(link_.SetTimeouts(std::chrono::milliseconds(300), std::chrono::milliseconds(300)),
            kLinkOk);
  link_.Write(QueryFrame(UsbProfile()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  link_.Drain();
  const auto reads = standIn_.CallsOf("FT_Read");
  ASSERT_GE(reads.size(), 2u);
  EXPECT_TRUE(Contains(reads.back().text, "[0]"));
  std::array<std::uint8_t, 4> rest{};
  EXPECT_EQ(link_.Read(rest).count, 0u);  // nothing left behind
}

class UsbLinkReadFailure : public UsbLinkConnected {
 protected:
  UsbLinkReadFailure() : UsbLinkConnected({.fail = "FT_Read:1:4"}) {}
};

TEST_F(UsbLinkReadFailure, AFailingDrainReadRaisesWithLocation1822) {
  try {
    link_.Drain();
    FAIL() << "no exception";
  } catch (const FT_Exception& e) {
    EXPECT_EQ(std::string(e.what()), "FATAL ERROR ON USB LINK...  #[1822]");
  }
}

// ---- a cut line ----

class UsbLinkCut : public UsbLinkConnected {
 protected:
  UsbLinkCut() : UsbLinkConnected({.cutAfter = 2}) {}
};

TEST_F(UsbLinkCut, AfterNFramesThePollFailsThenAfterFailureAndClose) {
  PollState state;
  std::string error;
  PollOnce(link_, UsbProfile(), state, error);
  EXPECT_TRUE(state.FrameReady);
  EXPECT_FALSE(state.LinkFailed);
  link_.Write(KeyFrame(UsbProfile(), 13));  // the second frame: the line is cut
  state = {};
  PollOnce(link_, UsbProfile(), state, error);
  EXPECT_TRUE(state.LinkFailed);
  EXPECT_EQ(error, "FATAL ERROR ON USB LINK...  #[1265]");
  link_.AfterFailure();
  link_.Close();
  const auto calls = standIn_.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "FT_CyclePort");
  EXPECT_EQ(calls.back(), "FT_Close");
}

// ---- the device list of the connection dialog ----

TEST(UsbDeviceListStandIn, ListsEveryDeviceWithIdStringAndFlags) {
  StandInSession standIn({.devices = "KALDOR01,KALDOR02:2"});
  UsbDeviceList list = ListUsbDevices();
  EXPECT_EQ(list.status, kLinkOk);
  ASSERT_EQ(list.count, 2u);
  ASSERT_EQ(list.devices.size(), 2u);
  EXPECT_EQ(list.devices[0].status, 0);
  EXPECT_EQ(list.devices[0].idString, "KALDOR01");
  EXPECT_EQ(list.devices[0].flags, 0u);
  EXPECT_FALSE(list.devices[0].description.empty());
  EXPECT_EQ(list.devices[1].idString, "KALDOR02");
  EXPECT_EQ(list.devices[1].flags, 2u);

  UsbLink link;  // a device that is open shows the opened flag
  ASSERT_EQ(link.Open({}), kLinkOk);
  list = ListUsbDevices();
  EXPECT_EQ(list.devices[0].flags, kUsbFlagOpened);
}

TEST(UsbDeviceListStandIn, NoDeviceAndFailingCallsAreReportedNotThrown) {
  {
    StandInSession standIn({.devices = "none"});
    const UsbDeviceList list = ListUsbDevices();
    EXPECT_EQ(list.status, kLinkOk);
    EXPECT_EQ(list.count, 0u);
  }
  {
    StandInSession standIn({.fail = "FT_CreateDeviceInfoList:*:18"});
    const UsbDeviceList list = ListUsbDevices();
    EXPECT_EQ(list.status, 18);
    EXPECT_EQ(list.count, 0u);
  }
  StandInSession standIn({.fail = "FT_GetDeviceInfoDetail:1:4"});
  const UsbDeviceList list = ListUsbDevices();
  ASSERT_EQ(list.devices.size(), 1u);
  EXPECT_EQ(list.devices[0].status, 4);
  EXPECT_EQ(list.devices[0].idString, "");
}

TEST(UsbDeviceListStandIn, ALongIdStringIsCutToWhatTheDriverReports) {
  StandInSession standIn({.devices = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"});
  const UsbDeviceList list = ListUsbDevices();
  ASSERT_EQ(list.devices.size(), 1u);
  EXPECT_EQ(list.devices[0].idString, "ABCDEFGHIJKLMNO");
}

}  // namespace
}  // namespace amppanel
