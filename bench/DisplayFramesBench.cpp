// What the operator sees: display frames per second of the real poll cycle
// (query, reply, decode on the UI thread's turn, the 80 ms pause) against the
// virtual amplifier as a separate program, its replies paced at the line's
// rate, as a share of what the line allows:
//
//   limit = 1 / ((6 + 371) x 10 / baud + 0.080 s)
//
// and the process CPU time this program spends per frame (the amplifier's
// process is not counted). The figure of the window's drawing is amp_ui_bench's.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include "core/PollWorker.h"
#include "display/Renderer.h"
#include "link/serial/SerialLink.h"
#include "protocol/Frames.h"
#include "protocol/PollStep.h"
#include "session/PanelSession.h"
#include "tests/support/AmpSimProcess.h"

namespace amppanel {
namespace {

namespace fs = std::filesystem;

// Times this process went to sleep and was woken: CPU time per frame on a
// shared or virtual machine varies from run to run, the wake-ups do not.
long Wakeups() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_nvcsw;
}

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A private ports folder for ampsim, removed afterwards.
struct BenchHome {
  BenchHome() { fs::create_directories(path); }
  ~BenchHome() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  const fs::path path = fs::temp_directory_path() / ("amp-bench-" + std::to_string(::getpid()));
};

void BM_DisplayFramesPerSecond(benchmark::State& state) {
  const int baudIndex = static_cast<int>(state.range(0));
  const int baud = kBaudTable[static_cast<std::size_t>(baudIndex)];
  const int frames = static_cast<int>(state.range(1));
  const BenchHome home;
  test::AmpSimProcess amp(AMPSIM_PATH, home.path, {"--com", "42", "--baud", std::to_string(baud)});
  if (amp.Device().empty()) {
    state.SkipWithError("ampsim did not start");
    return;
  }
  SerialLink link([&](int) { return amp.Device(); });
  if (link.Open({.comPort = 42, .baudIndex = baudIndex}) != kLinkOk) {
    state.SkipWithError("cannot open ampsim's port");
    return;
  }
  QueueUiThread ui;
  SteadyClock clock;
  PollState poll;
  DisplayImage image;
  int shown = 0;
  double seconds = 0;
  double cpu = 0;
  long wakeups = 0;
  for (auto _ : state) {
    std::string errorText;
    // The first frame starts the clocks: the amplifier's start-up is not the
    // line's speed.
    auto start = std::chrono::steady_clock::now();
    double cpuStart = 0;
    long wakeupsStart = 0;
    PollWorker worker(
        ui, clock, kPollPause,
        [&](PollWorker&) { PollOnce(link, SerialProfile(), poll, errorText); },
        [&](PollWorker&) {
          if (!DecodeDisplay(poll, image).drawn) return;
          if (shown++ == 0) {
            start = std::chrono::steady_clock::now();
            cpuStart = ProcessCpuSeconds();
            wakeupsStart = Wakeups();
          }
        },
        [&](PollWorker& w) {
          if (shown > frames) w.Terminate();
        });
    worker.WaitFor();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu = ProcessCpuSeconds() - cpuStart;
    wakeups = Wakeups() - wakeupsStart;
  }
  link.Close();
  const double measured = (shown - 1) / seconds;
  const double limit = 1.0 / ((6.0 + static_cast<double>(kDisplayReplyWireSize)) * 10 / baud +
                              std::chrono::duration<double>(kPollPause).count());
  state.counters["baud"] = baud;
  state.counters["frames_per_s"] = measured;
  state.counters["limit_per_s"] = limit;
  state.counters["ratio"] = measured / limit;
  state.counters["cpu_ms_per_frame"] = 1000.0 * cpu / (shown - 1);
  state.counters["wakeups_per_frame"] = static_cast<double>(wakeups) / (shown - 1);
}
// Index into the baud table, frames counted after the first.
BENCHMARK(BM_DisplayFramesPerSecond)
    ->ArgNames({"baud_index", "frames"})
    ->Args({0, 15})
    ->Args({5, 40})
    ->Args({6, 50})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace amppanel
