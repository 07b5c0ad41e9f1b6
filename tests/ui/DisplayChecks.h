// Checks on the main window's display image shared by the window's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/BuildProfile.h"
#include "display/DisplayImage.h"
#include "display/Renderer.h"
#include "protocol/PollState.h"
#include "sim/AmpEngine.h"

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

// Whether `shown` is what a display reply with this data and status draws on
// the program's on-line background.
inline bool ShowsReply(const DisplayImage& shown, const std::vector<std::uint8_t>& data,
                       std::uint8_t status, const BuildProfile& profile = SerialProfile()) {
  PollState state;
  std::copy(data.begin(), data.end(), state.ReplyBuffer.begin());
  state.StatusByte = status;
  state.FrameReady = true;
  DisplayImage expected;
  expected.ResetDisplay(profile.onLineBackground);
  DecodeDisplay(state, expected);
  return std::equal(expected.Data(),
                    expected.Data() + DisplayImage::kBytesPerLine * DisplayImage::kHeight,
                    shown.Data());
}

// Whether `shown` is what the window must show for the amplifier's display of
// this moment.
inline bool ShowsTheAmplifiersDisplay(const DisplayImage& shown, AmpEngine& engine,
                                      const BuildProfile& profile = SerialProfile()) {
  const auto data = engine.CurrentScreen().Bytes();
  return ShowsReply(shown, std::vector<std::uint8_t>(data.begin(), data.end()), engine.StatusByte(),
                    profile);
}

// Whether `shown` is what the amplifier's last display reply draws. For a
// display that moves on its own, compared with the panel at rest.
inline bool ShowsTheLastReply(const DisplayImage& shown, const AmpEngine& engine) {
  const auto [data, status] = engine.LastDisplaySent();
  return !data.empty() && ShowsReply(shown, data, status);
}

}  // namespace amppanel::test
