// The mirrored front-panel display: 8 rows of 40 cells of 6 x 8 dots, with a
// 2-pixel border, held as a 244 x 68 RGB888 image that the UI shows without a
// copy (QImage::Format_RGB888 over Data(), kWidth, kHeight, kBytesPerLine).
#pragma once

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
  // Row by row: cell (c, r) at kColumns * r + c.
  using Cells = std::array<DisplayCell, static_cast<std::size_t>(kColumns) * kRows>;

  // Off-line background, dot colour in front, every pixel cleared.
  DisplayImage();
  // The row table points into this object's own pixels.
  DisplayImage(const DisplayImage&) = delete;
  DisplayImage& operator=(const DisplayImage&) = delete;

  // Top-left pixel; kHeight rows of kBytesPerLine bytes, 4-byte aligned.
  const std::uint8_t* Data() const { return pixels_.data(); }

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
    std::uint8_t* p =
        rows_[static_cast<std::size_t>(y)] + static_cast<std::ptrdiff_t>(x) * kBytesPerPixel;
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
  }

  alignas(4) std::array<std::uint8_t, static_cast<std::size_t>(kBytesPerLine) * kHeight> pixels_{};
  std::array<std::uint8_t*, kHeight> rows_{};
  Cells cells_{};
  Rgb back_ = kOffLineBackground;
  Rgb fore_ = kDotColour;
};

}  // namespace amppanel
