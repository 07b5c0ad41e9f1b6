// Main-window state that the poll worker fills and the UI thread reads inside
// the worker's hand-overs (which order every access; no lock is needed).
#pragma once

#include <array>
#include <cstdint>

#include "protocol/Frames.h"

namespace amppanel {

struct PollState {
  // A reply's data bytes (and, at the start of each reply, its sync bytes).
  std::array<std::uint8_t, kReplyBufferSize> ReplyBuffer{};
  std::uint8_t StatusByte = 0;
  bool FrameReady = false;  // a reply passed every check; cleared by DecodeDisplay
  bool SyncLost = false;    // the last reply did not start with AA AA AA
  bool LinkFailed = false;  // the poll step caught a link failure
  // A link call failed where the program does not raise link failures (the
  // serial program): the line itself is gone, e.g. a USB serial adapter pulled.
  bool LineGone = false;
};

}  // namespace amppanel
