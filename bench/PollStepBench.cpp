// Cost of checking one display reply, link overhead excluded.
#include <benchmark/benchmark.h>

#include "protocol/PollStep.h"
#include "tests/support/ScriptedLink.h"

namespace amppanel {
namespace {

void BM_PollStep(benchmark::State& state) {
  const std::vector<std::uint8_t> data(kDisplayDataSize, 0x21);
  const auto reply = DisplayReply(0x01, 0xF8, data);
  test::ScriptedLink link;
  PollState poll;
  std::string error;
  for (auto _ : state) {
    link.QueueReply(reply);
    PollOnce(link, SerialProfile(), poll, error);
    benchmark::DoNotOptimize(poll.FrameReady);
    poll.FrameReady = false;
  }
}
BENCHMARK(BM_PollStep);

}  // namespace
}  // namespace amppanel
