// Turns one checked display reply into the display image. The caller (the UI
// thread, inside the poll worker's hand-over) lights the keypad lamps, offers
// the firmware update and repaints from the result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/DisplayImage.h"
#include "protocol/PollState.h"

namespace amppanel {

// Reply data layout: one code per cell, row by row, then one inverse mask per
// column with bit r for row r.
inline constexpr std::size_t kCellCodesSize =
    static_cast<std::size_t>(DisplayImage::kColumns) * DisplayImage::kRows;  // 320
inline constexpr std::size_t kInverseMasksOffset = kCellCodesSize;

struct DecodeResult {
  bool drawn = false;        // false: nothing changed, keep lamps and actions as they are
  std::uint8_t lamps = 0;    // for SetLamps: the status byte complemented
  bool offerUpdate = false;  // actLoadUpdate enabled
};

// The amplifier accepts a firmware update only in this state: bits 7-3 set and
// bit 0 clear; bits 1 and 2 do not matter.
constexpr bool StatusOffersUpdate(std::uint8_t status) { return (status & 0xF9) == 0xF8; }

// Without a ready frame returns "not drawn" and touches nothing. Otherwise
// redraws all 320 cells from ReplyBuffer bytes 0-359 and clears FrameReady.
DecodeResult DecodeDisplay(PollState& state, DisplayImage& image);

}  // namespace amppanel
