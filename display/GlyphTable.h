// The amplifier's character set, as the PC draws it: one 6 x 8 dot glyph per
// cell code. Both programs carry the same table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace amppanel {

inline constexpr std::size_t kGlyphCount = 256;
inline constexpr int kGlyphWidth = 6;
inline constexpr int kGlyphHeight = 8;

// Byte i is dot row i, top row first. Bit 5 (0x20) is the leftmost dot, bit 0
// the rightmost; bits 6 and 7 are always clear. A set bit is a lit dot.
using Glyph = std::array<std::uint8_t, kGlyphHeight>;

// Codes 0-94 are ASCII 0x20-0x7E (code = character - 32), 128-223 the
// amplifier's graphic glyphs; the rest of the codes, and 175 and 194, are blank.
extern const std::array<Glyph, kGlyphCount> GlyphTable;

}  // namespace amppanel
