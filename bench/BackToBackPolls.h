// Poll steps back to back for as long as the benchmark runs: the count of
// replies that passed every check.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "core/BuildProfile.h"
#include "link/Link.h"
#include "protocol/PollStep.h"

namespace amppanel {

inline int PollBackToBack(benchmark::State& state, Link& link) {
  PollState poll;
  std::string text;
  int good = 0;
  for (auto _ : state) {
    poll.FrameReady = false;
    PollOnce(link, SerialProfile(), poll, text);
    good += poll.FrameReady ? 1 : 0;
  }
  return good;
}

}  // namespace amppanel
