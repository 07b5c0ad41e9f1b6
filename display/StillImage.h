// The held display saved as a still image: an uncompressed 24-bit BMP of the
// 244 x 68 image itself, whatever size the window shows it at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/DisplayImage.h"

namespace amppanel {

inline constexpr std::size_t kBmpHeaderSize = 14 + 40;
inline constexpr std::size_t kBmpFileSize =
    kBmpHeaderSize + static_cast<std::size_t>(DisplayImage::kWidth) * 3 * DisplayImage::kHeight;

std::vector<std::uint8_t> EncodeBmp(const DisplayImage& image);

// Writes the image to `path`. Returns the text to show when it fails:
// "Cannot create file <path>" or "Stream write error". A file left half
// written is removed, so a failed save never leaves a broken picture behind.
std::optional<std::string> SaveStillImage(const DisplayImage& image, const std::string& path);

}  // namespace amppanel
