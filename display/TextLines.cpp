#include "display/TextLines.h"

namespace amppanel {

void WriteText(DisplayImage& image, int column, int row, std::string_view text) {
  int c = column;
  int r = row;
  for (const char ch : text) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (b == 0) break;
    if (b == 0x0A) {
      c = 0;
      ++r;
      continue;
    }
    image.DrawCell(c, r, b, /*textMode=*/true, /*inverse=*/false);
    ++c;
  }
}

void ClearMessageRows(DisplayImage& image) {
  const std::string_view blank("                                        ");  // one row of spaces
  for (int row = kFirstMessageRow; row <= kLastMessageRow; ++row) WriteText(image, 0, row, blank);
}

}  // namespace amppanel
