#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "display/StillImage.h"
#include "display/TextLines.h"

namespace amppanel {
namespace {

std::vector<std::uint8_t> Pixels(const DisplayImage& image) {
  return {image.Data(), image.Data() + DisplayImage::kBytesPerLine * DisplayImage::kHeight};
}

// The image with exactly these text cells drawn one by one.
std::unique_ptr<DisplayImage> Expected(const std::vector<std::tuple<int, int, char>>& cells) {
  auto image = std::make_unique<DisplayImage>();
  for (const auto& [c, r, ch] : cells) {
    image->DrawCell(c, r, static_cast<std::uint8_t>(ch), true, false);
  }
  return image;
}

TEST(TextLines, LineFeedStartsTheNextRowAtColumnZero) {
  const std::string first(40, 'A');
  const std::string second(40, 'b');
  DisplayImage image;
  WriteText(image, 0, 3, first + "\n" + second);
  std::vector<std::tuple<int, int, char>> cells;
  for (int c = 0; c < 40; ++c) {
    cells.emplace_back(c, 3, 'A');
    cells.emplace_back(c, 4, 'b');
  }
  EXPECT_EQ(Pixels(image), Pixels(*Expected(cells)));

  // Text stops at its zero byte.
  DisplayImage stopped;
  WriteText(stopped, 5, 1, std::string("AB\0CD", 5));
  EXPECT_EQ(Pixels(stopped), Pixels(*Expected({{5, 1, 'A'}, {6, 1, 'B'}})));
}

TEST(TextLines, ControlCharactersShowBlankCells) {
  DisplayImage image;
  image.ResetDisplay({10, 20, 30});
  image.DrawCell(1, 2, 33, false, true);  // a solid cell, to see that it is overwritten
  WriteText(image, 0, 2, std::string("\x01\x09\x1F\x7F", 4));
  DisplayImage blank;
  blank.ResetDisplay({10, 20, 30});
  EXPECT_EQ(Pixels(image), Pixels(blank));
}

TEST(TextLines, ClearedMessageRowsStayBlankAfterAnEmptyText) {
  DisplayImage image;
  for (int r = 0; r < 8; ++r) WriteText(image, 0, r, std::string(40, '#'));
  ClearMessageRows(image);
  WriteText(image, 0, 3, "");
  std::vector<std::tuple<int, int, char>> cells;
  for (int r : {0, 1, 7}) {
    for (int c = 0; c < 40; ++c) cells.emplace_back(c, r, '#');
  }
  EXPECT_EQ(Pixels(image), Pixels(*Expected(cells)));
}

TEST(TextLines, TheFortyFirstCharacterReachesOnlyTheBorder) {
  DisplayImage image;
  WriteText(image, 0, 0, std::string(40, ' ') + "\x7F" + "H");
  // 'H' in column 41 lies wholly outside the image: dropped.
  DisplayImage hInBorder;
  hInBorder.DrawCell(40, 0, 'H', true, false);
  DisplayImage nothing;
  EXPECT_EQ(Pixels(image), Pixels(nothing));

  DisplayImage fortyFirst;
  WriteText(fortyFirst, 0, 0, std::string(40, ' ') + "H");
  EXPECT_EQ(Pixels(fortyFirst), Pixels(hInBorder));
  // Its first two dot columns land in the border (x 242, 243), nothing else.
  int lit = 0;
  for (int y = 0; y < DisplayImage::kHeight; ++y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) {
      if (fortyFirst.Pixel(x, y) == kDotColour) {
        EXPECT_GE(x, 242);
        ++lit;
      }
    }
  }
  EXPECT_GT(lit, 0);
}

TEST(StillImage, IsAFixedSizeBottomUpBgrBitmapOfTheImage) {
  DisplayImage image;
  image.ResetDisplay({1, 2, 3});
  image.PutPixel(0, 0, {200, 100, 50});   // top left: last row of the file
  image.PutPixel(243, 67, {10, 20, 30});  // bottom right: first row, last pixel
  const auto bmp = EncodeBmp(image);
  ASSERT_EQ(bmp.size(), 49830u);
  const auto le32 = [&](std::size_t at) {
    return bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 |
           static_cast<unsigned>(bmp[at + 3]) << 24;
  };
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(le32(2), 49830u);
  EXPECT_EQ(le32(10), 54u);
  EXPECT_EQ(le32(14), 40u);
  EXPECT_EQ(le32(18), 244u);
  EXPECT_EQ(le32(22), 68u);
  EXPECT_EQ(bmp[26] | bmp[27] << 8, 1);
  EXPECT_EQ(bmp[28] | bmp[29] << 8, 24);
  EXPECT_EQ(le32(30), 0u);
  const std::size_t lastRow = 54 + 67 * 732;
  EXPECT_EQ(std::vector<int>(bmp.begin() + lastRow, bmp.begin() + lastRow + 3),
            (std::vector<int>{50, 100, 200}));
  EXPECT_EQ(std::vector<int>(bmp.begin() + 54 + 731 - 2, bmp.begin() + 54 + 732),
            (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(std::vector<int>(bmp.begin() + 54, bmp.begin() + 57), (std::vector<int>{3, 2, 1}));
}

TEST(StillImage, FailuresNameTheirCauseAndLeaveNoBrokenFile) {
  DisplayImage image;
  const auto dir = std::filesystem::temp_directory_path() / "amppanel-still-test";
  std::filesystem::remove_all(dir);
  const std::string missing = (dir / "missing" / "shot.bmp").string();
  EXPECT_EQ(SaveStillImage(image, missing), "Cannot create file " + missing);

  std::filesystem::create_directories(dir);
  const auto good = dir / "shot.bmp";
  EXPECT_EQ(SaveStillImage(image, good.string()), std::nullopt);
  {
    // Closed before the folder goes: Windows keeps an open file from being removed.
    std::ifstream in(good, std::ios::binary);
    const std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(read, EncodeBmp(image));
  }
  std::filesystem::remove_all(dir);

#ifdef __linux__
  // A device that takes nothing: the write fails and the device stays.
  EXPECT_EQ(SaveStillImage(image, "/dev/full"), "Stream write error");
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
#endif
}

}  // namespace
}  // namespace amppanel
