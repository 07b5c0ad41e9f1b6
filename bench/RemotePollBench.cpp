// Polls per second through ser2net on loopback (RFC 2217) against the same
// virtual amplifier and pseudo-terminal polled locally: the ratio of the two is
// what the network path costs. Argument 1 paces the amplifier's replies at
// 115200 baud, as the wire does; 0 lets them go as fast as the terminal takes.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/BackToBackPolls.h"
#include "link/remote/RemoteLink.h"
#include "link/serial/SerialLink.h"
#include "protocol/PollStep.h"
#include "tests/link/RemoteTestSupport.h"
#include "tests/support/PtyAmplifier.h"

namespace amppanel {
namespace {

void PollLoop(benchmark::State& state, Link& link) {
  const int good = PollBackToBack(state, link);
  state.counters["polls_per_s"] =
      benchmark::Counter(static_cast<double>(good), benchmark::Counter::kIsRate);
  state.counters["good_replies"] = good;
}

void BM_Poll(benchmark::State& state, bool remote) {
  test::PtyAmplifier amp;
  if (!amp.Opened()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  if (state.range(0) != 0) {
    FaultSettings pace;
    pace.paceBaud = 115200;
    amp.engine.SetFaults(pace);
  }
  test::TempDir dir("remote-bench");
  std::unique_ptr<test::Ser2net> ser2net;
  std::unique_ptr<Link> link;
  if (remote) {
    const int port = test::FreeTcpPort();
    ser2net = std::make_unique<test::Ser2net>(dir.Path(), amp.Device(), port);
    if (!ser2net->Start()) {
      state.SkipWithError("ser2net did not start");
    } else {
      link = std::make_unique<RemoteLink>(
          [port](int) { return "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(port); });
    }
  } else {
    link = std::make_unique<SerialLink>([&](int) { return amp.Device(); });
  }
  if (link && link->Open({.comPort = 1, .baudIndex = 6}) == 0) {
    PollLoop(state, *link);
    link->Close();
  } else if (link) {
    state.SkipWithError(link->OpenFailureDetail().c_str());
  }
  ser2net.reset();
}

void BM_PollLocalPseudoTerminal(benchmark::State& state) { BM_Poll(state, false); }
void BM_PollThroughSer2net(benchmark::State& state) { BM_Poll(state, true); }
BENCHMARK(BM_PollLocalPseudoTerminal)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2);
BENCHMARK(BM_PollThroughSer2net)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2);

}  // namespace
}  // namespace amppanel
