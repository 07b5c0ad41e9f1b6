// The PC's own messages in the display: text drawn into the cell grid with
// the amplifier's character set, while the amplifier's display is not mirrored.
#pragma once

#include <string_view>

#include "display/DisplayImage.h"

namespace amppanel {

// The rows a message may use; the rows around them keep the last mirrored display.
inline constexpr int kFirstMessageRow = 2;
inline constexpr int kLastMessageRow = 6;

// Draws `text` (up to its first zero byte) from (column, row): a line feed
// goes to column 0 of the next row; there is no wrapping, and cells beyond the
// grid are clipped dot by dot into the border. Paints nothing.
void WriteText(DisplayImage& image, int column, int row, std::string_view text);
// Blanks rows 2 to 6 with spaces. Paints nothing.
void ClearMessageRows(DisplayImage& image);

}  // namespace amppanel
