// The mirrored front-panel display: 8 rows of 40 cells of 6 x 8 dots, with a
// 2-pixel border, held as a 244 x 68 RGB888 image (what the still image
// saves), and the same pixels as 32-bit words that the UI draws from without
// a copy (QImage::Format_RGB32 over DrawPixels(), kWidth, kHeight,
// kDrawBytesPerLine). The image also knows which pixels changed since the
// window last looked, so an unchanged display costs no drawing.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/BuildProfile.h"
#include "display/GlyphTable.h"

namespace amppanel {

// What one cell of the grid shows: the glyph drawn there (text written by the
// PC already turned into its glyph) and whether it is drawn inverted.
struct DisplayCell {
  std::uint8_t glyph = 0;
  bool inverted = false;
  friend bool operator==(const DisplayCell&, const DisplayCell&) = default;
};

class DisplayImage {
 public:
  static constexpr int kColumns = 40;
  static constexpr int kRows = 8;
  static constexpr int kBorder = 2;
  static constexpr int kWidth = 2 * kBorder + kColumns * kGlyphWidth;  // 244
  static constexpr int kHeight = 2 * kBorder + kRows * kGlyphHeight;   // 68
  static constexpr int kBytesPerPixel = 3;                             // r, g, b
  static constexpr int kBytesPerLine = kWidth * kBytesPerPixel;        // rows are contiguous
  static constexpr int kDrawBytesPerLine = kWidth * 4;  // one 0xffRRGGBB word a pixel

  // A rectangle of pixels, right and bottom exclusive.
  struct Region {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const Region&) const = default;
  };
  // Row by row: cell (c, r) at kColumns * r + c.
  using Cells = std::array<DisplayCell, static_cast<std::size_t>(kColumns) * kRows>;

  // Off-line background, dot colour in front, every pixel cleared.
  DisplayImage();
  // The row table points into this object's own pixels.
  DisplayImage(const DisplayImage&) = delete;
  DisplayImage& operator=(const DisplayImage&) = delete;

  // Top-left pixel; kHeight rows of kBytesPerLine bytes, 4-byte aligned.
  const std::uint8_t* Data() const { return pixels_.data(); }

  // Top-left pixel as 0xffRRGGBB; kHeight rows of kWidth words. Always holds
  // the same colours as Data(): stretching a 24-bit image onto a window takes
  // a slow per-pixel path in the toolkit, a 32-bit one a plain copy.
  const std::uint32_t* DrawPixels() const { return draw_.data(); }

  // The smallest rectangle holding every pixel whose colour changed since the
  // last call (empty when none did), and starts collecting afresh.
  Region TakeChanges();
  // The glyph and inversion last drawn into each cell of the grid, for
  // reading the display as text; a cleared cell is a blank glyph 0.
  const Cells& CellsShown() const { return cells_; }

  Rgb BackColour() const { return back_; }
  Rgb ForeColour() const { return fore_; }

  // Every pixel, border included, := BackColour.
  void ClearDisplay();
  // New background, dot colour in front, then ClearDisplay. Returns true when
  // the background differs from the one before, i.e. when the window that
  // shows the image has to take the new colour and be invalidated.
  bool ResetDisplay(Rgb background);

  // Ignores coordinates outside the image.
  void PutPixel(int x, int y, Rgb colour);
  // Outside the image: the background, as a clipped display would show.
  Rgb Pixel(int x, int y) const;

  // Draws the cell's 48 pixels, clipped to the image, so cells beyond the grid
  // (text written past its edge) may reach the border or vanish. textMode is for
  // the PC's own ASCII text: the glyph index is then code - 32 modulo 256.
  // Codes from the amplifier are glyph indices as they stand.
  void DrawCell(int column, int row, std::uint8_t code, bool textMode, bool inverse);

 private:
  static bool Inside(long long x, long long y) {
    return x >= 0 && x < kWidth && y >= 0 && y < kHeight;
  }
  void Write(int x, int y, Rgb colour) {
    const std::uint32_t word = 0xFF000000u | static_cast<std::uint32_t>(colour.r) << 16 |
                               static_cast<std::uint32_t>(colour.g) << 8 | colour.b;
    std::uint32_t& drawn =
        draw_[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)];
    // Both buffers always agree, so one comparison tells whether either changes.
    if (drawn == word) return;
    drawn = word;
    std::uint8_t* p =
        rows_[static_cast<std::size_t>(y)] + static_cast<std::ptrdiff_t>(x) * kBytesPerPixel;
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
    if (changed_.Empty()) {
      changed_ = {x, y, x + 1, y + 1};
    } else {
      changed_.left = std::min(changed_.left, x);
      changed_.top = std::min(changed_.top, y);
      changed_.right = std::max(changed_.right, x + 1);
      changed_.bottom = std::max(changed_.bottom, y + 1);
    }
  }

  alignas(4) std::array<std::uint8_t, static_cast<std::size_t>(kBytesPerLine) * kHeight> pixels_{};
  std::array<std::uint8_t*, kHeight> rows_{};
  // Starts as zero, which no colour word equals, so the first clear writes
  // every pixel of both buffers.
  std::array<std::uint32_t, static_cast<std::size_t>(kWidth) * kHeight> draw_{};
  Region changed_;
  Cells cells_{};
  Rgb back_ = kOffLineBackground;
  Rgb fore_ = kDotColour;
};

}  // namespace amppanel
