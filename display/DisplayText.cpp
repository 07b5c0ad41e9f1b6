#include "display/DisplayText.h"

#include <cmath>
#include <vector>

namespace amppanel {
namespace {

constexpr std::uint8_t kFirstBarGlyph = 129;
constexpr std::uint8_t kLastBarGlyph = 140;

bool IsBarGlyph(std::uint8_t g) { return g >= kFirstBarGlyph && g <= kLastBarGlyph; }

bool IsCap(std::uint8_t g) { return g == 129 || g == 132 || g == 133 || g == 140; }

// Half segments lit in a bar cell: 134, 135, 137 and 138 fill one half, 136
// and 139 both.
int HalvesLit(std::uint8_t g) {
  switch (g) {
    case 134:
    case 135:
    case 137:
    case 138:
      return 1;
    case 136:
    case 139:
      return 2;
    default:
      return 0;
  }
}

std::string BarReading(const std::vector<std::uint8_t>& run) {
  int halves = 0;
  int segments = 0;
  int caps = 0;
  int capsLit = 0;
  for (const std::uint8_t g : run) {
    if (IsCap(g)) {
      ++caps;
      // A cap with fill (133 left, 140 right) says the bar reaches it.
      if (g == 133 || g == 140) ++capsLit;
    } else {
      ++segments;
      halves += HalvesLit(g);
    }
  }
  // A lone cap has no segments to count: it reads as full or empty.
  const double fill = segments > 0 ? static_cast<double>(halves) / (2.0 * segments)
                                   : static_cast<double>(capsLit) / caps;
  return " " + std::to_string(std::lround(100.0 * fill)) + " percent ";
}

std::string GlyphReading(std::uint8_t g) {
  if (g <= 94) return std::string(1, static_cast<char>(g + 0x20));
  switch (g) {
    case 128:
      return " micro ";
    case 153:
    case 157:
      return " left ";
    case 154:
      return " up ";
    case 155:
      return " down ";
    case 156:
    case 158:
      return " right ";
    case 168:
      return " x ";
    case 170:
      return " degrees ";
    case 174:
      return " checked ";
    default:
      return " ";
  }
}

// Cells [first, last) of one row, inversion ignored.
std::string ReadCells(const DisplayImage::Cells& cells, std::size_t first, std::size_t last) {
  std::string text;
  std::vector<std::uint8_t> bar;
  for (std::size_t i = first; i < last; ++i) {
    const std::uint8_t g = cells[i].glyph;
    if (IsBarGlyph(g)) {
      bar.push_back(g);
      continue;
    }
    if (!bar.empty()) {
      text += BarReading(bar);
      bar.clear();
    }
    text += GlyphReading(g);
  }
  if (!bar.empty()) text += BarReading(bar);
  return text;
}

std::string Tidy(const std::string& text) {
  std::string out;
  for (const char ch : text) {
    if (ch == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += ch;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Lines 1-7 whose rows are in `rows`, joined as sentences.
std::string LinesOf(const DisplayText& text, std::uint8_t rows) {
  std::string said;
  for (int r = 1; r < DisplayImage::kRows; ++r) {
    const std::string& line = text.lines[static_cast<std::size_t>(r)];
    if (((rows >> r) & 1) == 0 || line.empty()) continue;
    if (!said.empty()) said += ". ";
    said += line;
  }
  return said;
}

constexpr std::uint8_t kLinesBelowStatus = 0xFE;  // rows 1-7

}  // namespace

std::string DisplayText::Joined() const {
  std::string text;
  for (std::size_t r = 0; r < lines.size(); ++r) {
    if (r > 0) text += '\n';
    text += lines[r];
  }
  return text;
}

DisplayText ReadDisplay(const DisplayImage::Cells& cells) {
  DisplayText text;
  constexpr auto kColumns = static_cast<std::size_t>(DisplayImage::kColumns);
  for (std::size_t r = 0; r < static_cast<std::size_t>(DisplayImage::kRows); ++r) {
    std::string line;
    std::size_t c = 0;
    while (c < kColumns) {
      const bool inverted = cells[kColumns * r + c].inverted;
      std::size_t end = c;
      while (end < kColumns && cells[kColumns * r + end].inverted == inverted) ++end;
      const std::string part = Tidy(ReadCells(cells, kColumns * r + c, kColumns * r + end));
      if (!inverted) {
        line += " " + part + " ";
      } else if (!part.empty()) {
        line += " " + part + " " + std::string(kSelectedMark) + " ";
        text.selectedRows = static_cast<std::uint8_t>(text.selectedRows | (1u << r));
      }
      c = end;
    }
    text.lines[r] = Tidy(line);
  }
  return text;
}

std::string Announcement(const DisplayText& before, bool alarmBefore, const DisplayText& after,
                         bool alarmAfter) {
  if (alarmAfter && !alarmBefore) {
    const std::string lines = LinesOf(after, kLinesBelowStatus);
    return lines.empty() ? std::string("Alarm") : "Alarm: " + lines;
  }
  const auto selectedBefore = static_cast<std::uint8_t>(before.selectedRows & kLinesBelowStatus);
  const auto selectedAfter = static_cast<std::uint8_t>(after.selectedRows & kLinesBelowStatus);
  std::string now = LinesOf(after, selectedAfter);
  if (now.empty()) return {};
  if (selectedAfter == selectedBefore && now == LinesOf(before, selectedBefore)) return {};
  return now;
}

}  // namespace amppanel
