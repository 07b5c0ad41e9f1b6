// Poll steps back to back, without the poll cycle's pause, through the real
// serial link against the virtual amplifier on a pseudo-terminal, its replies
// paced at 115200 baud: the link's and the protocol's own speed. The wire
// limit is one query (6 bytes) and one reply (371 bytes) at 10 bits per byte:
// 32.7 ms. What the operator sees, pause included, is
// BM_DisplayFramesPerSecond.
#include <benchmark/benchmark.h>

#include "bench/BackToBackPolls.h"
#include "link/serial/SerialLink.h"
#include "protocol/PollStep.h"
#include "tests/support/PtyAmplifier.h"

namespace amppanel {
namespace {

void BM_BackToBackPollSteps(benchmark::State& state) {
  test::PtyAmplifier amp;
  if (!amp.Opened()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  FaultSettings pace;
  pace.paceBaud = 115200;
  amp.engine.SetFaults(pace);
  SerialLink link([&](int) { return amp.Device(); });
  link.Open({.comPort = 1, .baudIndex = 6});
  const int good = PollBackToBack(state, link);
  link.Close();
  const double wireSeconds = (6.0 + static_cast<double>(kDisplayReplyWireSize)) * 10 / 115200;
  state.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(good), benchmark::Counter::kIsRate);
  state.counters["wire_limit_per_s"] = 1.0 / wireSeconds;
  state.counters["good_replies"] = good;
}
BENCHMARK(BM_BackToBackPollSteps)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace amppanel
