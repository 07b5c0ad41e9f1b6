#include <gtest/gtest.h>

#include <functional>

#include "link/LinkStatus.h"
#include "protocol/PollStep.h"
#include "tests/support/ScriptedLink.h"

namespace amppanel {
namespace {

using test::Bytes;
using test::ScriptedLink;

Bytes DisplayData() {
  Bytes data(kDisplayDataSize);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  return data;
}

Bytes GoodReply(std::uint8_t status = 0xF8) { return DisplayReply(0x01, status, DisplayData()); }

void SetLe16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = static_cast<std::uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

struct Poll {
  explicit Poll(const BuildProfile& p = SerialProfile()) : profile(p) {
    state.ReplyBuffer.fill(0xEE);
    state.StatusByte = 0x11;
  }
  void Run() { PollOnce(link, profile, state, errorText); }

  const BuildProfile& profile;
  ScriptedLink link;
  PollState state;
  std::string errorText;
};

TEST(PollStep, GoodReplyIsAcceptedAfterPurgeAndQuery) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    Poll poll(*profile);
    poll.link.Feed({0xAA, 0x01});  // stale input is purged first
    poll.link.QueueReply(GoodReply(0x3C));
    poll.Run();
    EXPECT_TRUE(poll.state.FrameReady);
    EXPECT_FALSE(poll.state.SyncLost);
    EXPECT_EQ(poll.state.StatusByte, 0x3C);
    const Bytes data = DisplayData();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), poll.state.ReplyBuffer.begin()));
    EXPECT_EQ(poll.state.ReplyBuffer[kDisplayDataSize], 0xEE);
    ASSERT_EQ(poll.link.Writes().size(), 1u);
    EXPECT_EQ(poll.link.Writes()[0], QueryFrame(*profile));
    EXPECT_EQ(poll.link.Events().front(), "purge");
  }
}

struct DropCase {
  const char* name;
  std::function<void(Bytes&)> spoil;
  bool syncLost;
  bool statusOverwritten;  // StatusByte already holds the reply's 0xF8
  friend void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }
};

class PollStepDrop : public ::testing::TestWithParam<DropCase> {};

TEST_P(PollStepDrop, BadReplyIsDroppedWithoutDrawing) {
  const DropCase& c = GetParam();
  Poll poll;
  Bytes reply = GoodReply(0xF8);
  c.spoil(reply);
  poll.link.QueueReply(reply);
  poll.Run();
  EXPECT_FALSE(poll.state.FrameReady);
  EXPECT_EQ(poll.state.SyncLost, c.syncLost);
  EXPECT_FALSE(poll.state.LinkFailed);
  EXPECT_EQ(poll.state.StatusByte, c.statusOverwritten ? 0xF8 : 0x11);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PollStepDrop,
    ::testing::Values(
        DropCase{"NoAnswer", [](Bytes& b) { b.clear(); }, true, false},
        DropCase{"TwoSyncBytes", [](Bytes& b) { b.resize(2); }, true, false},
        DropCase{"WrongSync", [](Bytes& b) { b[1] = 0xAB; }, true, false},
        DropCase{"LengthOnly", [](Bytes& b) { b.resize(4); }, false, false},
        DropCase{"ComplementOffByOne", [](Bytes& b) { b[5] ^= 0x01; }, false, false},
        DropCase{"ComplementEqualsLength", [](Bytes& b) { SetLe16(b, 5, 362); }, false, false},
        DropCase{"TypeTwo", [](Bytes& b) { b[7] = 0x02; }, false, false},
        DropCase{"NoStatusByte", [](Bytes& b) { b.resize(8); }, false, false},
        DropCase{"ShortData", [](Bytes& b) { b.resize(200); }, false, true},
        DropCase{"MissingCheck", [](Bytes& b) { b.resize(b.size() - 1); }, false, true},
        DropCase{"CheckOffByOne", [](Bytes& b) { b[b.size() - 2] ^= 0x01; }, false, true},
        DropCase{"CheckOfDataAlone",
                 [](Bytes& b) {
                   const Bytes data = DisplayData();
                   SetLe16(b, b.size() - 2, Sum16(data));
                 },
                 false, true},
        DropCase{"LengthBelowTwo",
                 [](Bytes& b) {
                   SetLe16(b, 3, 1);
                   SetLe16(b, 5, 1 ^ 0xFFFF);
                 },
                 false, false},
        DropCase{"LengthZero",
                 [](Bytes& b) {
                   SetLe16(b, 3, 0);
                   SetLe16(b, 5, 0xFFFF);
                 },
                 false, false},
        DropCase{"DataLargerThanReplyBuffer",
                 [](Bytes& b) {
                   SetLe16(b, 3, 4099);
                   SetLe16(b, 5, 4099 ^ 0xFFFF);
                   b.resize(8 + 4097 + 2 + 1, 0x00);
                 },
                 false, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PollStep, DroppedReplyStillLeavesItsBytesBehind) {
  Poll poll;
  Bytes reply = GoodReply(0x42);
  reply[reply.size() - 1] ^= 0x10;
  poll.link.QueueReply(reply);
  poll.Run();
  EXPECT_FALSE(poll.state.FrameReady);
  EXPECT_EQ(poll.state.StatusByte, 0x42);
  EXPECT_EQ(poll.state.ReplyBuffer[359], DisplayData()[359]);
}

TEST(PollStep, LargestReplyThatFitsIsAccepted) {
  Poll poll;
  const Bytes data(kReplyBufferSize, 0x5A);
  poll.link.QueueReply(DisplayReply(0x01, 0x00, data));
  poll.Run();
  EXPECT_TRUE(poll.state.FrameReady);
  EXPECT_EQ(poll.state.ReplyBuffer.back(), 0x5A);
}

TEST(PollStep, UsbReadsSyncAndDataRepeatedlyUntilComplete) {
  Poll poll(UsbProfile());
  poll.link.SetReadChunk(2);
  poll.link.QueueReply(GoodReply());
  poll.Run();
  EXPECT_TRUE(poll.state.FrameReady);
}

struct FailCase {
  const char* name;
  std::function<void(ScriptedLink&)> fail;
  const char* usbText;
  friend void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }
};

class PollStepLinkFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(PollStepLinkFailure, UsbRaisesWithItsLocationAndSerialIgnoresIt) {
  const FailCase& c = GetParam();
  Poll usb(UsbProfile());
  c.fail(usb.link);
  usb.link.QueueReply(GoodReply());
  usb.Run();
  EXPECT_TRUE(usb.state.LinkFailed);
  EXPECT_FALSE(usb.state.FrameReady);
  EXPECT_EQ(usb.errorText, c.usbText);

  Poll serial(SerialProfile());
  c.fail(serial.link);
  serial.link.QueueReply(GoodReply());
  serial.Run();
  EXPECT_FALSE(serial.state.LinkFailed);
  EXPECT_TRUE(serial.errorText.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Locations, PollStepLinkFailure,
    ::testing::Values(FailCase{"Purge", [](ScriptedLink& l) { l.FailPurge(1, 4); },
                               "FATAL ERROR ON USB LINK...  #[1264]"},
                      FailCase{"Write", [](ScriptedLink& l) { l.FailWrite(1, 10); },
                               "FT_FAILED_TO_WRITE_DEVICE  #[1265]"},
                      FailCase{"Sync", [](ScriptedLink& l) { l.FailRead(1, 4); },
                               "FATAL ERROR ON USB LINK...  #[1280]"},
                      FailCase{"Length", [](ScriptedLink& l) { l.FailRead(2, 3); },
                               "FT_DEVICE_NOT_OPENED  #[1294]"},
                      FailCase{"Complement", [](ScriptedLink& l) { l.FailRead(3, 4); },
                               "FATAL ERROR ON USB LINK...  #[1302]"},
                      FailCase{"Type", [](ScriptedLink& l) { l.FailRead(4, 4); },
                               "FATAL ERROR ON USB LINK...  #[1316]"},
                      FailCase{"Status", [](ScriptedLink& l) { l.FailRead(5, 4); },
                               "FATAL ERROR ON USB LINK...  #[1327]"},
                      FailCase{"Check", [](ScriptedLink& l) { l.FailRead(7, 18); },
                               "FT_OTHER_ERROR  #[1361]"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PollStep, UsbDataReadStatusIsNotExamined) {
  Poll poll(UsbProfile());
  poll.link.FailRead(6, 4);  // the data read
  poll.link.QueueReply(GoodReply());
  poll.Run();
  EXPECT_FALSE(poll.state.LinkFailed);
  EXPECT_FALSE(poll.state.FrameReady);
}

}  // namespace
}  // namespace amppanel
