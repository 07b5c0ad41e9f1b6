// Polls per second through ser2net on loopback (RFC 2217) against the same
// virtual amplifier and pseudo-terminal polled locally: the ratio of the two is
// what the network path costs. Argument 1 paces the amplifier's replies at
// 115200 baud, as the wire does; 0 lets them go as fast as the terminal takes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <thread>

#include "link/remote/RemoteLink.h"
#include "link/serial/SerialLink.h"
#include "protocol/PollStep.h"
#include "sim/Pty.h"
#include "tests/link/RemoteTestSupport.h"

namespace amppanel {
namespace {

void PollLoop(benchmark::State& state, Link& link) {
  PollState poll;
  std::string text;
  int good = 0;
  for (auto _ : state) {
    poll.FrameReady = false;
    PollOnce(link, SerialProfile(), poll, text);
    good += poll.FrameReady ? 1 : 0;
  }
  state.counters["polls_per_s"] =
      benchmark::Counter(static_cast<double>(good), benchmark::Counter::kIsRate);
  state.counters["good_replies"] = good;
}

void BM_Poll(benchmark::State& state, bool remote) {
  AmpEngine engine;
  if (state.range(0) != 0) {
    FaultSettings pace;
    pace.paceBaud = 115200;
    engine.SetFaults(pace);
  }
  PtyMaster pty;
  std::string error;
  if (!pty.Open(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::atomic<bool> stop{false};
  std::thread bridge([&] { PtyBridge(pty, engine).Run(stop); });
  test::TempDir dir("remote-bench");
  std::unique_ptr<test::Ser2net> ser2net;
  std::unique_ptr<Link> link;
  if (remote) {
    const int port = test::FreeTcpPort();
    ser2net = std::make_unique<test::Ser2net>(dir.Path(), pty.SlavePath(), port);
    if (!ser2net->Start()) {
      state.SkipWithError("ser2net did not start");
    } else {
      link = std::make_unique<RemoteLink>(
          [port](int) { return "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(port); });
    }
  } else {
    link = std::make_unique<SerialLink>([&](int) { return pty.SlavePath(); });
  }
  if (link && link->Open({.comPort = 1, .baudIndex = 6}) == 0) {
    PollLoop(state, *link);
    link->Close();
  } else if (link) {
    state.SkipWithError(link->OpenFailureDetail().c_str());
  }
  ser2net.reset();
  stop = true;
  bridge.join();
}

void BM_PollLocalPseudoTerminal(benchmark::State& state) { BM_Poll(state, false); }
void BM_PollThroughSer2net(benchmark::State& state) { BM_Poll(state, true); }
BENCHMARK(BM_PollLocalPseudoTerminal)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2);
BENCHMARK(BM_PollThroughSer2net)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2);

}  // namespace
}  // namespace amppanel
