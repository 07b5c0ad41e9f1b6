#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "display/DisplayImage.h"
#include "display/GlyphTable.h"
#include "display/Renderer.h"
#include "display/TextLines.h"

namespace amppanel {
namespace {

constexpr int kCols = DisplayImage::kColumns;
constexpr int kRows = DisplayImage::kRows;

const Glyph kBlankGlyph{};
const Glyph kSolidGlyph{0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F};

bool IsBlankCode(int code) {
  return code == 0 || (code >= 95 && code <= 127) || code == 175 || code == 194 || code >= 224;
}

// Reads a cell back as glyph bytes: a bit per ForeColour pixel. A pixel in
// neither colour fails the test, so stray colours cannot hide.
Glyph ReadCell(const DisplayImage& image, int column, int row) {
  Glyph dots{};
  for (int i = 0; i < kGlyphHeight; ++i) {
    for (int k = 0; k < kGlyphWidth; ++k) {
      const Rgb p = image.Pixel(2 + 6 * column + k, 2 + 8 * row + i);
      if (p == image.ForeColour()) {
        dots[static_cast<std::size_t>(i)] |= static_cast<std::uint8_t>(0x20 >> k);
      } else {
        EXPECT_EQ(p, image.BackColour())
            << "cell (" << column << ", " << row << ") dot " << k << ", " << i;
      }
    }
  }
  return dots;
}

Glyph Inverted(Glyph glyph) {
  for (auto& row : glyph) row = static_cast<std::uint8_t>(~row & 0x3F);
  return glyph;
}

bool BorderIs(const DisplayImage& image, Rgb colour) {
  for (int y = 0; y < DisplayImage::kHeight; ++y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) {
      const bool border = x < 2 || x >= 242 || y < 2 || y >= 66;
      if (border && !(image.Pixel(x, y) == colour)) return false;
    }
  }
  return true;
}

std::vector<std::uint8_t> Snapshot(const DisplayImage& image) {
  const std::uint8_t* p = image.Data();
  return {p, p + DisplayImage::kBytesPerLine * DisplayImage::kHeight};
}

struct Frame {
  Frame() {
    state.ReplyBuffer.fill(0);
    state.FrameReady = true;
  }
  std::uint8_t& Code(int c, int r) {
    return state.ReplyBuffer[static_cast<std::size_t>(40 * r + c)];
  }
  std::uint8_t& Mask(int c) { return state.ReplyBuffer[static_cast<std::size_t>(320 + c)]; }
  DecodeResult Decode() { return DecodeDisplay(state, *image); }

  PollState state;
  std::unique_ptr<DisplayImage> image = std::make_unique<DisplayImage>();
};

// ---- glyph table ------------------------------------------------------------

TEST(GlyphTable, SampleGlyphsMatchTheCharacterGeneratorByteForByte) {
  const struct {
    int code;
    Glyph bytes;
  } cases[] = {
      {1, {0x04, 0x04, 0x04, 0x04, 0x00, 0x00, 0x04, 0x00}},    // !
      {16, {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E, 0x00}},   // 0
      {33, {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x00}},   // A
      {60, {0x00, 0x10, 0x08, 0x04, 0x02, 0x01, 0x00, 0x00}},   // backslash
      {89, {0x00, 0x00, 0x11, 0x11, 0x13, 0x0D, 0x01, 0x0E}},   // y, with a descender
      {94, {0x08, 0x15, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00}},   // ~
      {128, {0x00, 0x12, 0x12, 0x12, 0x12, 0x1D, 0x10, 0x10}},  // first graphic glyph
      {149, {0x12, 0x38, 0x28, 0x2F, 0x28, 0x2F, 0x28, 0x38}},
      {159, {0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {174, {0x00, 0x00, 0x01, 0x12, 0x14, 0x18, 0x10, 0x00}},
      {176, {0x3F, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}},
      {195, {0x02, 0x02, 0x04, 0x04, 0x09, 0x09, 0x12, 0x12}},
      {223, {0x02, 0x02, 0x04, 0x3C, 0x00, 0x00, 0x00, 0x3F}},  // last graphic glyph
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GlyphTable[static_cast<std::size_t>(c.code)], c.bytes) << "code " << c.code;
  }
}

TEST(GlyphTable, BlankExactlyWhereTheCharacterSetHasNoGlyph) {
  for (int code = 0; code < 256; ++code) {
    const Glyph& g = GlyphTable[static_cast<std::size_t>(code)];
    if (IsBlankCode(code)) {
      EXPECT_EQ(g, kBlankGlyph) << "code " << code;
    } else {
      EXPECT_NE(g, kBlankGlyph) << "code " << code;
    }
  }
}

TEST(GlyphTable, DotsStayInsideTheCellAndCharactersKeepTheirLeftGap) {
  for (int code = 0; code < 256; ++code) {
    for (const std::uint8_t row : GlyphTable[static_cast<std::size_t>(code)]) {
      EXPECT_EQ(row & 0xC0, 0) << "code " << code;
      if (code < 95) {
        EXPECT_EQ(row & 0x20, 0) << "code " << code;
      }
    }
  }
}

// ---- image ------------------------------------------------------------------

TEST(DisplayImage, StartsOffLineAndClearedInAQtCompatibleLayout) {
  auto image = std::make_unique<DisplayImage>();
  EXPECT_EQ(image->BackColour(), kOffLineBackground);
  EXPECT_EQ(image->ForeColour(), kDotColour);
  EXPECT_EQ(DisplayImage::kWidth, 244);
  EXPECT_EQ(DisplayImage::kHeight, 68);
  EXPECT_EQ(DisplayImage::kBytesPerLine, 244 * 3);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image->Data()) % 4, 0u);
  EXPECT_TRUE(BorderIs(*image, kOffLineBackground));
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) EXPECT_EQ(ReadCell(*image, c, r), kBlankGlyph);
  }

  // Red, green, blue in that order; rows one after the other.
  image->PutPixel(5, 3, Rgb{10, 20, 30});
  const std::uint8_t* p = image->Data() + 3 * DisplayImage::kBytesPerLine + 5 * 3;
  EXPECT_EQ(p[0], 10);
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 30);
}

TEST(DisplayImage, PutPixelWritesInsideAndIgnoresEverythingOutside) {
  auto image = std::make_unique<DisplayImage>();
  const auto before = Snapshot(*image);
  const int outside[][2] = {{244, 0},      {0, 68},       {244, 68},    {-1, 0},
                            {0, -1},       {-1, -1},      {-244, 5},    {INT_MIN, 10},
                            {10, INT_MIN}, {INT_MAX, 10}, {10, INT_MAX}};
  for (const auto& xy : outside) image->PutPixel(xy[0], xy[1], Rgb{1, 2, 3});
  EXPECT_EQ(Snapshot(*image), before);

  const Rgb red{255, 0, 0};
  image->PutPixel(0, 0, red);
  image->PutPixel(243, 67, red);
  EXPECT_EQ(image->Pixel(0, 0), red);
  EXPECT_EQ(image->Pixel(243, 67), red);
  EXPECT_EQ(image->Pixel(1, 0), kOffLineBackground);
  EXPECT_EQ(image->Pixel(242, 67), kOffLineBackground);
}

TEST(DisplayImage, ResetDisplaySetsBothColoursClearsAndReportsAChange) {
  auto image = std::make_unique<DisplayImage>();
  for (int c = 0; c < kCols; ++c) image->DrawCell(c, c % kRows, 33, false, true);
  image->PutPixel(0, 0, Rgb{9, 9, 9});

  const Rgb online = SerialProfile().onLineBackground;
  EXPECT_TRUE(image->ResetDisplay(online));
  EXPECT_EQ(image->BackColour(), online);
  EXPECT_EQ(image->ForeColour(), kDotColour);
  for (int y = 0; y < DisplayImage::kHeight; ++y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) ASSERT_EQ(image->Pixel(x, y), online);
  }

  // Same colour again: still cleared, but the window has nothing to repaint.
  image->DrawCell(0, 0, 33, false, false);
  EXPECT_FALSE(image->ResetDisplay(online));
  EXPECT_EQ(ReadCell(*image, 0, 0), kBlankGlyph);

  EXPECT_TRUE(image->ResetDisplay(UsbProfile().onLineBackground));
  EXPECT_TRUE(image->ResetDisplay(kOffLineBackground));
  EXPECT_TRUE(BorderIs(*image, kOffLineBackground));
}

// ---- cells ------------------------------------------------------------------

TEST(DrawCell, LetterAInTheFirstCellLightsItsDotsAtTheRightPixels) {
  auto image = std::make_unique<DisplayImage>();
  image->DrawCell(0, 0, 33, false, false);
  for (int x = 2; x <= 7; ++x) {
    EXPECT_EQ(image->Pixel(x, 2), (x >= 4 && x <= 6) ? kDotColour : kOffLineBackground)
        << "x " << x;
    EXPECT_EQ(image->Pixel(x, 9), kOffLineBackground) << "x " << x;
  }
  EXPECT_EQ(ReadCell(*image, 0, 0), GlyphTable[33]);
}

TEST(DrawCell, PaintsExactlyItsOwn48Pixels) {
  const Rgb marker{7, 7, 7};  // neither of the colours a cell paints with
  const int cells[][2] = {{0, 0}, {39, 0}, {0, 7}, {39, 7}, {17, 3}};
  for (const auto& cell : cells) {
    auto image = std::make_unique<DisplayImage>();
    for (int y = 0; y < DisplayImage::kHeight; ++y) {
      for (int x = 0; x < DisplayImage::kWidth; ++x) image->PutPixel(x, y, marker);
    }
    image->DrawCell(cell[0], cell[1], 33, false, false);  // both dots and background
    int painted = 0;
    for (int y = 0; y < DisplayImage::kHeight; ++y) {
      for (int x = 0; x < DisplayImage::kWidth; ++x) {
        if (image->Pixel(x, y) == marker) continue;
        ++painted;
        EXPECT_TRUE(x >= 2 + 6 * cell[0] && x <= 7 + 6 * cell[0] && y >= 2 + 8 * cell[1] &&
                    y <= 9 + 8 * cell[1])
            << "pixel (" << x << ", " << y << ")";
      }
    }
    EXPECT_EQ(painted, 48) << "cell (" << cell[0] << ", " << cell[1] << ")";
  }
}

TEST(DrawCell, InverseSwapsDotsAndBackgroundSoBlankCodesBecomeSolidBlocks) {
  auto image = std::make_unique<DisplayImage>();
  for (int code = 0; code < 256; ++code) {
    const Glyph& glyph = GlyphTable[static_cast<std::size_t>(code)];
    image->DrawCell(3, 4, static_cast<std::uint8_t>(code), false, true);
    EXPECT_EQ(ReadCell(*image, 3, 4), Inverted(glyph)) << "code " << code;
    if (IsBlankCode(code)) {
      EXPECT_EQ(ReadCell(*image, 3, 4), kSolidGlyph) << "code " << code;
    }
    image->DrawCell(3, 4, static_cast<std::uint8_t>(code), false, false);
    EXPECT_EQ(ReadCell(*image, 3, 4), glyph) << "code " << code;
  }
}

TEST(DrawCell, TextModeShiftsAsciiByThirtyTwoAndWrapsBelowSpace) {
  const struct {
    std::uint8_t code;
    bool textMode;
    int glyph;
  } cases[] = {
      {'A', true, 33},  {'A', false, 'A'}, {' ', true, 0},    {'~', true, 94},
      {33, false, 33},  {33, true, 1},     {0x1F, true, 255}, {0, true, 224},
      {160, true, 128}, {160, false, 160}, {255, true, 223},  {255, false, 255},
  };
  for (const auto& c : cases) {
    auto image = std::make_unique<DisplayImage>();
    image->DrawCell(1, 1, c.code, c.textMode, false);
    EXPECT_EQ(ReadCell(*image, 1, 1), GlyphTable[static_cast<std::size_t>(c.glyph)])
        << "code " << int{c.code} << (c.textMode ? " as text" : "");
  }
}

TEST(DrawCell, CellsBeyondTheGridAreClippedToTheImage) {
  auto image = std::make_unique<DisplayImage>();
  image->ResetDisplay(Rgb{1, 1, 1});
  // Column -1 covers x -4..1: only the left border's two pixel columns remain.
  image->DrawCell(-1, 0, 0, false, true);
  EXPECT_EQ(image->Pixel(0, 2), kDotColour);
  EXPECT_EQ(image->Pixel(1, 9), kDotColour);
  EXPECT_EQ(image->Pixel(2, 2), (Rgb{1, 1, 1}));
  // Column 40 and row 8 cover x 242..247 and y 66..73.
  image->DrawCell(40, 8, 0, false, true);
  EXPECT_EQ(image->Pixel(243, 67), kDotColour);
  EXPECT_EQ(image->Pixel(241, 67), (Rgb{1, 1, 1}));

  const auto before = Snapshot(*image);
  const int far[][2] = {{41, 0},      {0, 9},       {-2, 0},      {0, -2},           {INT_MAX, 0},
                        {0, INT_MAX}, {INT_MIN, 0}, {0, INT_MIN}, {INT_MAX, INT_MIN}};
  for (const auto& cell : far) image->DrawCell(cell[0], cell[1], 0, false, true);
  EXPECT_EQ(Snapshot(*image), before);
}

// ---- decoding ---------------------------------------------------------------

TEST(DecodeDisplay, DrawsEveryCellFromItsCodeByte) {
  Frame f;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) f.Code(c, r) = static_cast<std::uint8_t>(1 + 7 * r + c);
  }
  ASSERT_TRUE(f.Decode().drawn);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      EXPECT_EQ(ReadCell(*f.image, c, r), GlyphTable[static_cast<std::size_t>(1 + 7 * r + c)])
          << "cell (" << c << ", " << r << ")";
    }
  }
}

TEST(DecodeDisplay, MaskBitsInvertOnlyTheirRowsOfTheirColumn) {
  Frame f;
  f.Mask(5) = 0x81;  // index 325
  f.Mask(0) = 0x01;
  f.Mask(39) = 0x80;
  f.Decode();
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      const bool inverted =
          (c == 5 && (r == 0 || r == 7)) || (c == 0 && r == 0) || (c == 39 && r == 7);
      EXPECT_EQ(ReadCell(*f.image, c, r), inverted ? kSolidGlyph : kBlankGlyph)
          << "cell (" << c << ", " << r << ")";
    }
  }
}

TEST(DecodeDisplay, BorderKeepsTheBackgroundAroundAFullyInvertedGrid) {
  for (const Rgb background :
       {kOffLineBackground, SerialProfile().onLineBackground, UsbProfile().onLineBackground}) {
    Frame f;
    f.image->ResetDisplay(background);
    for (int c = 0; c < kCols; ++c) f.Mask(c) = 0xFF;
    f.Decode();
    EXPECT_TRUE(BorderIs(*f.image, background));
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kCols; ++c) ASSERT_EQ(ReadCell(*f.image, c, r), kSolidGlyph);
    }
  }
}

TEST(DecodeDisplay, ReadsOnlyTheFirst360BytesAndLeavesTheBufferAlone) {
  Frame f;
  // A previous longer reply's leftovers beyond the display data must not show.
  std::fill(f.state.ReplyBuffer.begin() + 360, f.state.ReplyBuffer.end(), 0xFF);
  f.Code(39, 7) = 33;  // byte 319
  f.Mask(39) = 0x80;   // byte 359
  f.Code(0, 0) = 16;
  const auto buffer = f.state.ReplyBuffer;
  f.Decode();
  EXPECT_EQ(f.state.ReplyBuffer, buffer);

  EXPECT_EQ(ReadCell(*f.image, 39, 7), Inverted(GlyphTable[33]));
  EXPECT_EQ(ReadCell(*f.image, 0, 0), GlyphTable[16]);
  EXPECT_EQ(ReadCell(*f.image, 38, 7), kBlankGlyph);

  // A short reply rewrote only the first bytes: the rest are drawn as they were.
  f.Code(0, 0) = 34;
  f.state.FrameReady = true;
  f.Decode();
  EXPECT_EQ(ReadCell(*f.image, 0, 0), GlyphTable[34]);
  EXPECT_EQ(ReadCell(*f.image, 39, 7), Inverted(GlyphTable[33]));
}

TEST(DecodeDisplay, WithoutAReadyFrameChangesNothing) {
  Frame f;
  f.Code(0, 0) = 33;
  f.Mask(0) = 0xFF;
  f.state.StatusByte = 0xF8;
  f.state.FrameReady = false;
  f.state.SyncLost = true;
  f.image->PutPixel(0, 0, Rgb{4, 5, 6});
  const auto pixels = Snapshot(*f.image);
  const auto buffer = f.state.ReplyBuffer;

  const DecodeResult result = f.Decode();
  EXPECT_FALSE(result.drawn);
  EXPECT_EQ(Snapshot(*f.image), pixels);
  EXPECT_EQ(f.state.ReplyBuffer, buffer);
  EXPECT_EQ(f.state.StatusByte, 0xF8);
  EXPECT_FALSE(f.state.FrameReady);
  EXPECT_TRUE(f.state.SyncLost);
}

TEST(DecodeDisplay, ClearsFrameReadyAndReportsLampsAndUpdateOffer) {
  const struct {
    std::uint8_t status;
    std::uint8_t lamps;
    bool offerUpdate;
  } cases[] = {
      {0xF8, 0x07, true},                                             // bits 7-3 set, bit 0 clear
      {0xFA, 0x05, true},                                             // bits 1 and 2 do not matter
      {0xFC, 0x03, true},  {0xFE, 0x01, true},  {0xF9, 0x06, false},  // bit 0 set
      {0xFF, 0x00, false}, {0x78, 0x87, false}, {0xB8, 0x47, false},
      {0xF0, 0x0F, false}, {0x00, 0xFF, false}, {0x08, 0xF7, false},
  };
  for (const auto& c : cases) {
    Frame f;
    f.state.StatusByte = c.status;
    const DecodeResult result = f.Decode();
    EXPECT_TRUE(result.drawn);
    EXPECT_EQ(result.lamps, c.lamps) << "status " << int{c.status};
    EXPECT_EQ(result.offerUpdate, c.offerUpdate) << "status " << int{c.status};
    EXPECT_FALSE(f.state.FrameReady);
    EXPECT_FALSE(f.Decode().drawn);  // the same frame is not drawn twice
  }
}

// ---- the 32-bit draw pixels and the changed region ---------------------------

// Every pixel of the 32-bit copy the window draws from holds the 24-bit colour.
::testing::AssertionResult DrawPixelsMatch(const DisplayImage& image) {
  for (int y = 0; y < DisplayImage::kHeight; ++y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) {
      const Rgb p = image.Pixel(x, y);
      const std::uint32_t want = 0xFF000000u | static_cast<std::uint32_t>(p.r) << 16 |
                                 static_cast<std::uint32_t>(p.g) << 8 | p.b;
      const std::uint32_t got = image.DrawPixels()[y * DisplayImage::kWidth + x];
      if (got != want) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << "): " << std::hex << got << " != " << want;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(DisplayImageDrawPixels, StayInStepThroughDecodeTextResetAndClear) {
  Frame f;
  EXPECT_TRUE(DrawPixelsMatch(*f.image));
  for (int c = 0; c < kCols; ++c) f.Code(c, c % kRows) = static_cast<std::uint8_t>(33 + c);
  f.Mask(7) = 0xA5;
  f.Decode();
  EXPECT_TRUE(DrawPixelsMatch(*f.image));
  WriteText(*f.image, 3, 2, "FIRMWARE UPDATE");
  EXPECT_TRUE(DrawPixelsMatch(*f.image));
  f.image->PutPixel(0, 0, Rgb{1, 2, 3});
  EXPECT_TRUE(DrawPixelsMatch(*f.image));
  EXPECT_TRUE(f.image->ResetDisplay(Rgb{0xF0, 0xE0, 0xC0}));
  EXPECT_TRUE(DrawPixelsMatch(*f.image));
  f.state.FrameReady = true;
  f.Decode();
  f.image->ClearDisplay();
  EXPECT_TRUE(DrawPixelsMatch(*f.image));
}

TEST(DisplayImageChanges, AnUnchangedFrameLeavesNothingToRepaint) {
  Frame f;
  f.Code(5, 3) = 'A' - 32;
  f.Decode();
  EXPECT_FALSE(f.image->TakeChanges().Empty());
  EXPECT_TRUE(f.image->TakeChanges().Empty()) << "taking resets the region";
  f.state.FrameReady = true;
  EXPECT_TRUE(f.Decode().drawn);
  EXPECT_TRUE(f.image->TakeChanges().Empty());
}

TEST(DisplayImageChanges, RegionIsTheBoundingBoxOfChangedPixelsOnly) {
  Frame f;
  f.Code(0, 0) = 33;
  f.Decode();
  (void)f.image->TakeChanges();
  const std::vector<std::uint8_t> before = Snapshot(*f.image);
  // One cell's glyph changes, another cell is inverted; the rest stays.
  f.state.FrameReady = true;
  f.Code(0, 0) = 0;
  f.Code(2, 1) = 33;
  f.Mask(10) = 1 << 4;
  f.Decode();
  const std::vector<std::uint8_t> after = Snapshot(*f.image);
  DisplayImage::Region want{DisplayImage::kWidth, DisplayImage::kHeight, 0, 0};
  for (int y = 0; y < DisplayImage::kHeight; ++y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) {
      const auto at = static_cast<std::size_t>(y * DisplayImage::kBytesPerLine + 3 * x);
      if (std::equal(&before[at], &before[at] + 3, &after[at])) continue;
      want = {std::min(want.left, x), std::min(want.top, y), std::max(want.right, x + 1),
              std::max(want.bottom, y + 1)};
    }
  }
  ASSERT_FALSE(want.Empty());
  EXPECT_EQ(f.image->TakeChanges(), want);
  // A new background reaches every pixel, border included.
  f.image->ResetDisplay(Rgb{9, 9, 9});
  EXPECT_EQ(f.image->TakeChanges(),
            (DisplayImage::Region{0, 0, DisplayImage::kWidth, DisplayImage::kHeight}));
}

}  // namespace
}  // namespace amppanel
