#include <gtest/gtest.h>

#include "protocol/Frames.h"

namespace amppanel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Frames, KeyAndQueryFramesCarryTheProgramsSyncCount) {
  EXPECT_EQ(QueryFrame(SerialProfile()), (Bytes{0x55, 0x55, 0x55, 0x01, 0x80, 0x80}));
  EXPECT_EQ(QueryFrame(UsbProfile()), (Bytes{0x55, 0x55, 0x55, 0x55, 0x55, 0x01, 0x80, 0x80}));
  EXPECT_EQ(KeyFrame(SerialProfile(), 101), (Bytes{0x55, 0x55, 0x55, 0x01, 101, 101}));
}

TEST(Frames, CommandFrameCountsLowByteAndSumsModulo256) {
  const Bytes payload(4096, 0xFF);
  const Bytes frame = CommandFrame(3, payload);
  ASSERT_EQ(frame.size(), 3u + 1 + 4096 + 1);
  EXPECT_EQ(frame[3], 0x00);  // 4096 & 0xFF
  EXPECT_EQ(frame.back(), (4096 * 255) & 0xFF);
  EXPECT_EQ(CommandFrame(3, Bytes{0x81, 0x90}), (Bytes{0x55, 0x55, 0x55, 2, 0x81, 0x90, 0x11}));
}

TEST(Frames, DisplayReplyIsLittleEndianWithComplementAndSixteenBitSum) {
  const Bytes data(360, 0xFF);
  const Bytes reply = DisplayReply(0x01, 0xF8, data);
  ASSERT_EQ(reply.size(), kDisplayReplyWireSize);
  EXPECT_EQ(ReadLe16(&reply[3]), 362);
  EXPECT_EQ(ReadLe16(&reply[5]), 362 ^ 0xFFFF);
  EXPECT_EQ(ReadLe16(&reply[reply.size() - 2]), (0x01 + 0xF8 + 360 * 0xFF) & 0xFFFF);
}

}  // namespace
}  // namespace amppanel
