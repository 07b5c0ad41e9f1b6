#include "display/Renderer.h"

namespace amppanel {

static_assert(kInverseMasksOffset + DisplayImage::kColumns == kDisplayDataSize);
static_assert(kDisplayDataSize <= kReplyBufferSize);

DecodeResult DecodeDisplay(PollState& state, DisplayImage& image) {
  if (!state.FrameReady) return {};

  const std::uint8_t* const codes = state.ReplyBuffer.data();
  const std::uint8_t* const masks = codes + kInverseMasksOffset;
  for (int r = 0; r < DisplayImage::kRows; ++r) {
    for (int c = 0; c < DisplayImage::kColumns; ++c) {
      // Amplifier codes are glyph indices as they stand: never text mode.
      image.DrawCell(c, r, codes[DisplayImage::kColumns * r + c], /*textMode=*/false,
                     ((masks[c] >> r) & 1) != 0);
    }
  }
  state.FrameReady = false;

  const std::uint8_t status = state.StatusByte;
  return DecodeResult{.drawn = true,
                      .lamps = static_cast<std::uint8_t>(~status),
                      .offerUpdate = StatusOffersUpdate(status)};
}

}  // namespace amppanel
