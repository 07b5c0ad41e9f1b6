// Poll steps back to back, without the poll cycle's pause, through the real
// serial link against the virtual amplifier on a pseudo-terminal, its replies
// paced at 115200 baud: the link's and the protocol's own speed. The wire
// limit is one query (6 bytes) and one reply (371 bytes) at 10 bits per byte:
// 32.7 ms. What the operator sees, pause included, is
// BM_DisplayFramesPerSecond.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "link/serial/SerialLink.h"
#include "protocol/PollStep.h"
#include "sim/Pty.h"

namespace amppanel {
namespace {

void BM_BackToBackPollSteps(benchmark::State& state) {
  AmpEngine engine;
  FaultSettings pace;
  pace.paceBaud = 115200;
  engine.SetFaults(pace);
  PtyMaster pty;
  std::string error;
  if (!pty.Open(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::atomic<bool> stop{false};
  std::thread bridge([&] { PtyBridge(pty, engine).Run(stop); });
  SerialLink link([&](int) { return pty.SlavePath(); });
  link.Open({.comPort = 1, .baudIndex = 6});
  PollState poll;
  std::string text;
  int good = 0;
  for (auto _ : state) {
    poll.FrameReady = false;
    PollOnce(link, SerialProfile(), poll, text);
    good += poll.FrameReady ? 1 : 0;
  }
  link.Close();
  stop = true;
  bridge.join();
  const double wireSeconds = (6.0 + static_cast<double>(kDisplayReplyWireSize)) * 10 / 115200;
  state.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(good), benchmark::Counter::kIsRate);
  state.counters["wire_limit_per_s"] = 1.0 / wireSeconds;
  state.counters["good_replies"] = good;
}
BENCHMARK(BM_BackToBackPollSteps)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace amppanel
