// Checks on the main window's display image shared by the window's tests.
#pragma once

#include "display/DisplayImage.h"

namespace amppanel::test {

// A blank display: every pixel one colour.
inline bool AllPixelsAre(const DisplayImage& image, Rgb colour) {
  for (int y = 0; y < DisplayImage::kHeight; ++y) {
    for (int x = 0; x < DisplayImage::kWidth; ++x) {
      if (!(image.Pixel(x, y) == colour)) return false;
    }
  }
  return true;
}

}  // namespace amppanel::test
