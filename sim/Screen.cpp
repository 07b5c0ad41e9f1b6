#include "sim/Screen.h"

#include <algorithm>
#include <cmath>

namespace amppanel {

std::uint8_t TextCode(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u < 0x20 || u > 0x7E) return 0;
  return static_cast<std::uint8_t>(u - 0x20);
}

char GlyphChar(std::uint8_t code) {
  if (code <= 94) return static_cast<char>(code + 0x20);
  switch (code) {
    case glyph::kBarLeft:
    case glyph::kBarLeftFull:
      return '[';
    case glyph::kBarRight:
    case glyph::kBarRightFull:
      return ']';
    case glyph::kBarEmpty:
    case glyph::kBarEmptyTick:
      return '.';
    case glyph::kBarHalf:
    case glyph::kBarHalfTick:
      return ':';
    case glyph::kBarFull:
    case glyph::kBarFullTick:
      return '#';
    case glyph::kArrowUp:
      return '^';
    case glyph::kArrowDown:
      return 'v';
    case glyph::kArrowLeft:
      return '<';
    case glyph::kArrowRight:
      return '>';
    case glyph::kFrameTop:
    case glyph::kFrameBottom:
      return '-';
    case glyph::kFrameLeft:
    case glyph::kFrameRight:
      return '|';
    case glyph::kFrameTopLeft:
    case glyph::kFrameTopRight:
    case glyph::kFrameBottomLeft:
    case glyph::kFrameBottomRight:
      return '+';
    case glyph::kDegree:
      return 'o';
    case glyph::kCheck:
      return 'V';
    default:
      return (code >= 128 && code <= 223) ? '*' : ' ';
  }
}

void Screen::Put(int column, int row, std::uint8_t code) {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return;
  codes_[static_cast<std::size_t>(row * kColumns + column)] = code;
}

std::uint8_t Screen::At(int column, int row) const {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return 0;
  return codes_[static_cast<std::size_t>(row * kColumns + column)];
}

int Screen::Text(int column, int row, std::string_view text) {
  for (char c : text) Put(column++, row, TextCode(c));
  return column;
}

void Screen::TextRight(int endColumn, int row, std::string_view text) {
  Text(endColumn - static_cast<int>(text.size()), row, text);
}

void Screen::TextCentred(int row, std::string_view text) {
  Text((kColumns - static_cast<int>(text.size())) / 2, row, text);
}

void Screen::Invert(int column, int row, int width) {
  if (row < 0 || row >= kRows) return;
  for (int c = std::max(column, 0); c < std::min(column + width, kColumns); ++c) {
    masks_[static_cast<std::size_t>(c)] |= static_cast<std::uint8_t>(1u << row);
  }
}

bool Screen::Inverted(int column, int row) const {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return false;
  return (masks_[static_cast<std::size_t>(column)] >> row) & 1u;
}

void Screen::Frame(int left, int top, int right, int bottom) {
  for (int c = left + 1; c < right; ++c) {
    Put(c, top, glyph::kFrameTop);
    Put(c, bottom, glyph::kFrameBottom);
  }
  for (int r = top + 1; r < bottom; ++r) {
    Put(left, r, glyph::kFrameLeft);
    Put(right, r, glyph::kFrameRight);
  }
  Put(left, top, glyph::kFrameTopLeft);
  Put(right, top, glyph::kFrameTopRight);
  Put(left, bottom, glyph::kFrameBottomLeft);
  Put(right, bottom, glyph::kFrameBottomRight);
}

void Screen::Bar(int column, int row, int cells, double value, double full, int tickEvery) {
  const int steps = cells * 2;
  int filled = 0;
  if (full > 0 && std::isfinite(value)) {
    filled = static_cast<int>(std::lround(value / full * steps));
    filled = std::clamp(filled, 0, steps);
  }
  Put(column, row, filled > 0 ? glyph::kBarLeftFull : glyph::kBarLeft);
  for (int i = 0; i < cells; ++i) {
    const bool tick = tickEvery > 0 && (i + 1) % tickEvery == 0;
    const int inCell = std::clamp(filled - 2 * i, 0, 2);
    std::uint8_t code = tick ? glyph::kBarEmptyTick : glyph::kBarEmpty;
    if (inCell == 1) code = tick ? glyph::kBarHalfTick : glyph::kBarHalf;
    if (inCell == 2) code = tick ? glyph::kBarFullTick : glyph::kBarFull;
    Put(column + 1 + i, row, code);
  }
  Put(column + 1 + cells, row, filled == steps ? glyph::kBarRightFull : glyph::kBarRight);
}

Screen::Data Screen::Bytes() const {
  Data data{};
  std::copy(codes_.begin(), codes_.end(), data.begin());
  std::copy(masks_.begin(), masks_.end(), data.begin() + kCells);
  return data;
}

std::string Screen::RowText(int row) const {
  std::string text;
  for (int c = 0; c < kColumns; ++c) text += GlyphChar(At(c, row));
  return text;
}

}  // namespace amppanel
