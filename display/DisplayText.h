// The mirrored display as text, for screen readers: a picture of dots means
// nothing to them, but every cell's glyph is known, so the display can be
// read out line by line.
//
// How cells read:
// - glyphs 0-94 are their ASCII characters;
// - a run of bar-meter cells (129-140: caps and empty, half and full
//   segments, with or without scale marks) reads as its fill, "60 percent",
//   counted in half segments over the segments between the caps;
// - the arrows read as words: 154 "up", 155 "down", 153 and 157 "left",
//   156 and 158 "right"; 170 (degree) "degrees", 128 "micro", 168 "x",
//   174 (check mark) "checked";
// - every other glyph (frames, lines, corners, scale strokes) and the blank
//   codes read as a space;
// - a run of inverted cells is what the amplifier shows selected (the menu
//   line under the cursor, a highlighted heading): its text is followed by
//   "(selected)". An inverted run of blanks reads as nothing.
// Spaces are then collapsed and each line trimmed: the columns carry no
// meaning once the graphics are words.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/DisplayImage.h"

namespace amppanel {

inline constexpr std::string_view kSelectedMark = "(selected)";

struct DisplayText {
  std::array<std::string, DisplayImage::kRows> lines;
  // Bit r set: row r holds a selected (inverted) run with text.
  std::uint8_t selectedRows = 0;

  // The eight lines joined by line feeds.
  std::string Joined() const;
  friend bool operator==(const DisplayText&, const DisplayText&) = default;
};

DisplayText ReadDisplay(const DisplayImage::Cells& cells);

// What a screen reader should say unprompted when the display goes from
// `before` to `after`; empty for nothing. Said are: the display's lines 1-7
// when the alarm lamp comes on, and otherwise the selected lines 1-7 when
// they change (a menu line moved to or changed by a key). Meter readings and
// the status line (row 0, whose highlighted mode field follows every
// transmission) are never said: a reader would otherwise talk all the time.
std::string Announcement(const DisplayText& before, bool alarmBefore, const DisplayText& after,
                         bool alarmAfter);

}  // namespace amppanel
