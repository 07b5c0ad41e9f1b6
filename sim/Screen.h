// The amplifier's 40 x 8 character display as it goes on the wire: one glyph
// code per cell and one inverse bit per cell, composed with a few drawing
// helpers (text, frames, bar meters).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/Frames.h"

namespace amppanel {

// Graphic glyphs of the amplifier's character set used by the virtual amplifier.
namespace glyph {
inline constexpr std::uint8_t kBarLeft = 129;       // empty left cap of a bar meter
inline constexpr std::uint8_t kBarEmpty = 130;      // empty segment
inline constexpr std::uint8_t kBarEmptyTick = 131;  // empty segment with a scale mark
inline constexpr std::uint8_t kBarRight = 132;      // empty right cap
inline constexpr std::uint8_t kBarLeftFull = 133;   // left cap of a bar with any fill
inline constexpr std::uint8_t kBarHalf = 134;       // segment filled on its left half
inline constexpr std::uint8_t kBarFull = 136;       // filled segment
inline constexpr std::uint8_t kBarHalfTick = 137;   // half segment with a scale mark
inline constexpr std::uint8_t kBarFullTick = 139;   // filled segment with a scale mark
inline constexpr std::uint8_t kBarRightFull = 140;  // right cap of a full bar
inline constexpr std::uint8_t kArrowUp = 154;
inline constexpr std::uint8_t kArrowDown = 155;
inline constexpr std::uint8_t kArrowLeft = 157;
inline constexpr std::uint8_t kArrowRight = 158;
inline constexpr std::uint8_t kFrameTop = 159;
inline constexpr std::uint8_t kFrameBottom = 160;
inline constexpr std::uint8_t kFrameRight = 161;
inline constexpr std::uint8_t kFrameTopRight = 162;
inline constexpr std::uint8_t kFrameBottomRight = 163;
inline constexpr std::uint8_t kFrameLeft = 164;
inline constexpr std::uint8_t kFrameTopLeft = 165;
inline constexpr std::uint8_t kFrameBottomLeft = 166;
inline constexpr std::uint8_t kDegree = 170;
inline constexpr std::uint8_t kCheck = 174;
}  // namespace glyph

// The glyph code of a printable ASCII character; anything else is a blank.
std::uint8_t TextCode(char c);

class Screen {
 public:
  static constexpr int kColumns = 40;
  static constexpr int kRows = 8;
  static constexpr std::size_t kCells = kColumns * kRows;
  using Data = std::array<std::uint8_t, kDisplayDataSize>;

  // Cells outside the grid are ignored, so callers may clip freely.
  void Put(int column, int row, std::uint8_t code);
  std::uint8_t At(int column, int row) const;
  // ASCII text; returns the column after the last character.
  int Text(int column, int row, std::string_view text);
  // Text right-aligned so that it ends just before `endColumn`.
  void TextRight(int endColumn, int row, std::string_view text);
  void TextCentred(int row, std::string_view text);
  void Invert(int column, int row, int width);
  bool Inverted(int column, int row) const;
  void Frame(int left, int top, int right, int bottom);
  // A bar meter over `cells` cells between its two caps (cells + 2 in all),
  // filled to `value` of `full` with half-cell resolution; a scale mark every
  // `tickEvery` cells.
  void Bar(int column, int row, int cells, double value, double full, int tickEvery = 4);

  // Codes row by row, then one inverse mask per column (bit r for row r).
  Data Bytes() const;
  // A row for logs and tests: text codes as their characters, graphic codes
  // as look-alike characters.
  std::string RowText(int row) const;

 private:
  std::array<std::uint8_t, kCells> codes_{};
  std::array<std::uint8_t, kColumns> masks_{};
};

// The look-alike character of one glyph code (used by Screen::RowText).
char GlyphChar(std::uint8_t code);

}  // namespace amppanel
