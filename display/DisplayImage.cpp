#include "display/DisplayImage.h"

namespace amppanel {

// Qt requires 32-bit aligned scan lines to wrap the pixels without a copy.
static_assert(DisplayImage::kBytesPerLine % 4 == 0);

DisplayImage::DisplayImage() {
  for (int y = 0; y < kHeight; ++y) {
    rows_[static_cast<std::size_t>(y)] =
        pixels_.data() + static_cast<std::size_t>(y) * kBytesPerLine;
  }
  ClearDisplay();
}

void DisplayImage::ClearDisplay() {
  cells_.fill(DisplayCell{});
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) Write(x, y, back_);
  }
}

DisplayImage::Region DisplayImage::TakeChanges() {
  const Region changed = changed_;
  changed_ = {};
  return changed;
}

bool DisplayImage::ResetDisplay(Rgb background) {
  const bool changed = background != back_;
  back_ = background;
  fore_ = kDotColour;
  ClearDisplay();
  return changed;
}

void DisplayImage::PutPixel(int x, int y, Rgb colour) {
  if (Inside(x, y)) Write(x, y, colour);
}

Rgb DisplayImage::Pixel(int x, int y) const {
  if (!Inside(x, y)) return back_;
  const std::uint8_t* p =
      rows_[static_cast<std::size_t>(y)] + static_cast<std::ptrdiff_t>(x) * kBytesPerPixel;
  return Rgb{p[0], p[1], p[2]};
}

void DisplayImage::DrawCell(int column, int row, std::uint8_t code, bool textMode, bool inverse) {
  const auto index = textMode ? static_cast<std::uint8_t>(code - 32) : code;
  const Glyph& glyph = GlyphTable[index];
  if (column >= 0 && column < kColumns && row >= 0 && row < kRows) {
    cells_[static_cast<std::size_t>(kColumns) * static_cast<std::size_t>(row) +
           static_cast<std::size_t>(column)] = {index, inverse};
  }
  const std::uint8_t flip = inverse ? 0xFF : 0x00;
  // Wide arithmetic: a column or row far off the grid is clipped, never overflows.
  const long long left = kBorder + static_cast<long long>(kGlyphWidth) * column;
  const long long top = kBorder + static_cast<long long>(kGlyphHeight) * row;
  for (int i = 0; i < kGlyphHeight; ++i) {
    const long long y = top + i;
    if (y < 0 || y >= kHeight) continue;
    const auto dots = static_cast<std::uint8_t>(glyph[static_cast<std::size_t>(i)] ^ flip);
    for (int k = 0; k < kGlyphWidth; ++k) {
      const long long x = left + k;
      if (!Inside(x, y)) continue;
      Write(static_cast<int>(x), static_cast<int>(y), (dots & (0x20 >> k)) != 0 ? fore_ : back_);
    }
  }
}

}  // namespace amppanel
