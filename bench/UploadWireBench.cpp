// A 64-block firmware upload through the real serial link against the virtual
// amplifier on a pseudo-terminal, paced at 115200 baud both ways, with the real
// clock (the 3000 ms identification wait included). The wire-time limit is the
// bytes on the wire in both directions x 10 / 115200 plus the fixed waits the
// protocol imposes (the identification wait); the figure is the ratio of the
// measured time to it.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/serial/SerialLink.h"
#include "sim/Pty.h"
#include "update/PackageWriter.h"
#include "update/Upload.h"

namespace amppanel {
namespace {

constexpr int kBlocks = 64;
constexpr int kBaud = 115200;

void BM_Upload64BlocksOverPacedPseudoTerminal(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "amp-bench-upload.PK3";
  {
    std::vector<std::uint8_t> image(kBlocks * kBlockDataSize);
    for (std::size_t i = 0; i < image.size(); ++i)
      image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 12));
    const auto package = BuildPackage(image);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(package.data()),
               static_cast<std::streamsize>(package.size()));
  }
  double seconds = 0;
  double limit = 0;
  bool ok = true;
  for (auto _ : state) {
    AmpEngine engine;
    FaultSettings pace;
    pace.paceBaud = kBaud;
    engine.SetFaults(pace);
    PtyMaster pty;
    std::string error;
    if (!pty.Open(error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    std::atomic<bool> stop{false};
    PtyBridge bridge(pty, engine);
    std::thread pump([&] { bridge.Run(stop); });
    SerialLink link([&](int) { return pty.SlavePath(); });
    link.Open({.comPort = 1, .baudIndex = 6});

    QueueUiThread ui;
    UploadOutcome outcome;
    const UploadContext context{
        .link = link, .profile = SerialProfile(), .packagePath = path.string()};
    const auto start = std::chrono::steady_clock::now();
    {
      OneShotWorker worker(ui, RealClock(),
                           [&](OneShotWorker& w) { outcome = UploadFirmware(w, context); }, {});
      worker.WaitFor();
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    link.Close();
    stop = true;
    pump.join();
    ok = ok && outcome.result == UploadResult::kSucceeded && engine.Blocks().size() == kBlocks;
    const double wireBytes = static_cast<double>(bridge.BytesIn() + bridge.BytesOut());
    limit = wireBytes * 10 / kBaud + std::chrono::duration<double>(kIdentificationWait).count();
    state.counters["wire_bytes"] = wireBytes;
    state.SetIterationTime(seconds);
  }
  std::filesystem::remove(path);
  if (!ok) state.SkipWithError("the upload did not succeed");
  state.counters["seconds"] = seconds;
  state.counters["limit_seconds"] = limit;
  state.counters["ratio_to_limit"] = seconds / limit;
}
BENCHMARK(BM_Upload64BlocksOverPacedPseudoTerminal)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace amppanel
