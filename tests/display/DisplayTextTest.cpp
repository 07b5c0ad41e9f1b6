#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "display/DisplayText.h"
#include "display/Renderer.h"
#include "display/TextLines.h"
#include "sim/AmpModel.h"

namespace amppanel {
namespace {

// The virtual amplifier's display, through the same decoding as a reply.
DisplayText Read(const Screen& screen) {
  PollState state;
  const Screen::Data bytes = screen.Bytes();
  std::copy(bytes.begin(), bytes.end(), state.ReplyBuffer.begin());
  state.FrameReady = true;
  DisplayImage image;
  DecodeDisplay(state, image);
  return ReadDisplay(image.CellsShown());
}

struct Amplifier {
  SimTime now{std::chrono::hours(1)};
  AmpModel model{AmpModelOptions{}, now};

  void Press(std::uint8_t code) {
    now += std::chrono::milliseconds(100);
    model.Key(code, now);
  }
  DisplayText Shown() const { return Read(model.Compose()); }
};

TEST(DisplayText, MainPageReadsMetersAsPercentAndFramesAsNothing) {
  Amplifier amp;
  const DisplayText text = amp.Shown();
  EXPECT_EQ(text.lines[0], "20m ANT 1 IN 1 MAX STBY");
  EXPECT_EQ(text.lines[1], "");  // the frame's top edge
  EXPECT_EQ(text.lines[2], "PWR 0 percent 0 W");
  EXPECT_EQ(text.lines[3], "SWR 17 percent 1.33");
  EXPECT_EQ(text.lines[4], "TMP 17 percent 32 degrees C");
  EXPECT_EQ(text.selectedRows, 0);
  EXPECT_EQ(text.Joined().find('\n'), text.lines[0].size());
}

TEST(DisplayText, BarReadsItsFillInHalfSegments) {
  // Caps, then four segments: full, full-with-mark, half, empty.
  Screen screen;
  screen.Text(0, 0, "PWR");
  screen.Bar(4, 0, 4, 5, 8);  // 5 of 8 halves
  screen.Text(11, 0, "861 W");
  screen.Bar(0, 1, 4, 8, 8);              // full, both caps lit
  screen.Put(0, 2, glyph::kBarLeftFull);  // a lone cap
  screen.Put(5, 2, glyph::kBarLeft);
  const DisplayText text = Read(screen);
  EXPECT_EQ(text.lines[0], "PWR 63 percent 861 W");
  EXPECT_EQ(text.lines[1], "100 percent");
  EXPECT_EQ(text.lines[2], "100 percent 0 percent");
}

TEST(DisplayText, ArrowsAndSymbolsReadAsWords) {
  Screen screen;
  screen.Put(0, 0, glyph::kArrowLeft);
  screen.Put(1, 0, glyph::kArrowRight);
  screen.Put(2, 0, glyph::kArrowUp);
  screen.Put(3, 0, glyph::kArrowDown);
  screen.Text(5, 0, "45");
  screen.Put(7, 0, glyph::kDegree);
  screen.Text(8, 0, "C");
  screen.Frame(10, 1, 20, 3);
  screen.Text(12, 2, "BOX");
  screen.Put(0, 5, 200);  // a scale stroke
  screen.Put(1, 5, 255);  // blank code
  const DisplayText text = Read(screen);
  EXPECT_EQ(text.lines[0], "left right up down 45 degrees C");
  EXPECT_EQ(text.lines[1], "");
  EXPECT_EQ(text.lines[2], "BOX");
  EXPECT_EQ(text.lines[5], "");
}

TEST(DisplayText, MenuPageMarksTheSelectedLine) {
  Amplifier amp;
  amp.Press(key::kSet);
  const DisplayText text = amp.Shown();
  EXPECT_EQ(text.lines[0], "SET MENU (selected)");
  EXPECT_EQ(text.lines[1], "right CAT RADIO ICOM (selected)");
  EXPECT_EQ(text.lines[2], "CAT BAUD RATE 19200");
  EXPECT_EQ(text.lines[7], "left right SELECT L/C: CHANGE SET: EXIT");
  EXPECT_EQ(text.selectedRows, 0b11);

  // An inverted run of blanks is no selection.
  Screen screen;
  screen.Invert(0, 4, 10);
  EXPECT_EQ(Read(screen).selectedRows, 0);
  EXPECT_EQ(Read(screen).lines[4], "");
}

TEST(DisplayText, AlarmPageAndBlankDisplay) {
  Amplifier amp;
  amp.model.RaiseAlarm("HIGH SWR");
  const DisplayText text = amp.Shown();
  EXPECT_EQ(text.lines[3], "ALARM (selected)");
  EXPECT_EQ(text.lines[4], "HIGH SWR");
  EXPECT_EQ(text.lines[7], "PRESS ANY KEY");

  Amplifier off;
  off.model.PowerOff();
  EXPECT_EQ(off.Shown(), DisplayText{});
  EXPECT_EQ(DisplayText{}.Joined(), std::string(7, '\n'));
}

TEST(DisplayText, TextThePcWritesReadsAsWritten) {
  DisplayImage image;
  WriteText(image, 0, 3, "  UPDATE OK\n\x01x");
  const DisplayText text = ReadDisplay(image.CellsShown());
  EXPECT_EQ(text.lines[3], "UPDATE OK");
  EXPECT_EQ(text.lines[4], "x");  // a control byte is a blank cell
  image.ClearDisplay();
  EXPECT_EQ(ReadDisplay(image.CellsShown()), DisplayText{});
}

TEST(DisplayAnnouncement, SaysSelectionChangesAndAlarmsButNotMeters) {
  Amplifier amp;
  const DisplayText main = amp.Shown();

  // Transmitting moves the meters and the highlighted mode field in row 0.
  amp.Press(key::kOperate);
  amp.model.SetTransmitScript(true, amp.now);
  amp.now += std::chrono::milliseconds(500);
  amp.model.Advance(amp.now);
  const DisplayText transmitting = amp.Shown();
  ASSERT_NE(transmitting.lines[2], main.lines[2]);
  EXPECT_EQ(Announcement(main, false, transmitting, false), "");
  amp.model.SetTransmitScript(false, amp.now);
  amp.Press(key::kOperate);

  amp.Press(key::kSet);
  const DisplayText menu = amp.Shown();
  EXPECT_EQ(Announcement(main, false, menu, false), "right CAT RADIO ICOM (selected)");
  EXPECT_EQ(Announcement(menu, false, menu, false), "");
  amp.Press(key::kRight);
  const DisplayText next = amp.Shown();
  EXPECT_EQ(Announcement(menu, false, next, false), "right CAT BAUD RATE 19200 (selected)");
  amp.Press(key::kCUp);
  EXPECT_EQ(Announcement(next, false, amp.Shown(), false), "right CAT BAUD RATE 38400 (selected)");

  amp.Press(key::kSet);  // leaves the menu: nothing selected to say
  const DisplayText left = amp.Shown();
  EXPECT_EQ(Announcement(next, false, left, false), "");

  amp.model.RaiseAlarm("HIGH SWR");
  const DisplayText alarm = amp.Shown();
  EXPECT_EQ(Announcement(left, false, alarm, true),
            "Alarm: ALARM (selected). HIGH SWR. PRESS ANY KEY");
  EXPECT_EQ(Announcement(alarm, true, alarm, true), "");
  EXPECT_EQ(Announcement(DisplayText{}, false, DisplayText{}, true), "Alarm");
}

}  // namespace
}  // namespace amppanel
