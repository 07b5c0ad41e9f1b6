#include "display/StillImage.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace amppanel {
namespace {

// Rows of 244 pixels x 3 bytes are 732 bytes: a multiple of 4, so no padding.
static_assert((DisplayImage::kWidth * 3) % 4 == 0);
constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const DisplayImage& image) {
  constexpr std::uint32_t kRowBytes = DisplayImage::kWidth * 3;
  std::vector<std::uint8_t> out;
  out.reserve(kBmpFileSize);
  // File header.
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(kBmpFileSize));
  Put32(out, 0);  // reserved
  Put32(out, static_cast<std::uint32_t>(kBmpHeaderSize));
  // Information header.
  Put32(out, 40);
  Put32(out, DisplayImage::kWidth);
  Put32(out, DisplayImage::kHeight);  // positive: bottom row first
  Put16(out, 1);                      // planes
  Put16(out, 24);                     // bits per pixel
  Put32(out, 0);                      // no compression
  Put32(out, kRowBytes * DisplayImage::kHeight);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, 0);  // no colour table
  Put32(out, 0);
  for (int y = DisplayImage::kHeight - 1; y >= 0; --y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) {
      const Rgb p = image.Pixel(x, y);
      out.push_back(p.b);
      out.push_back(p.g);
      out.push_back(p.r);
    }
  }
  return out;
}

std::optional<std::string> SaveStillImage(const DisplayImage& image, const std::string& path) {
  const std::vector<std::uint8_t> bytes = EncodeBmp(image);
  // The path comes from a file dialog as UTF-8; a u8 path keeps every name
  // intact on systems whose narrow file names use another code page.
  const std::filesystem::path target(std::u8string(path.begin(), path.end()));
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  if (!file) return "Cannot create file " + path;
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (file) return std::nullopt;
  std::error_code ec;
  if (std::filesystem::is_regular_file(target, ec)) std::filesystem::remove(target, ec);
  return std::string("Stream write error");
}

}  // namespace amppanel
