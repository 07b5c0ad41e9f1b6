// The UI thread's share of one mirrored frame: the reply decoded into the
// display image, then everything the window does with it, drawing and handing
// the pixels to the window system included. Reported as process CPU time (every
// thread, the toolkit's pool threads too) per frame, over a fixed number of
// frames, at the smallest and the largest preset.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; under
// Xvfb with QT_QPA_PLATFORM=xcb the window system's side is in the figure too.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "display/Renderer.h"
#include "tests/support/ScriptedLink.h"
#include "ui/DisplayView.h"
#include "ui/MainWindow.h"

namespace amppanel {
namespace {

enum class Change {
  kNone,    // the amplifier's display as it mostly is: standing still
  kMeters,  // one bar-meter row moves
  kEvery,   // every cell changes: a page change, the worst case
};

// A busy main page: text in every row, a bar meter in row 2.
void ComposeFrame(PollState& state, int frame, Change change) {
  std::uint8_t* codes = state.ReplyBuffer.data();
  for (int c = 0; c < 320; ++c) codes[c] = static_cast<std::uint8_t>(33 + c % 58);
  for (int c = 0; c < 40; ++c) codes[320 + c] = 0;
  const int step = change == Change::kNone ? 0 : frame % 2;
  if (change == Change::kMeters) {
    const int lit = 10 + 12 * step;
    for (int c = 0; c < 30; ++c) codes[80 + 8 + c] = c < lit ? 0x5E : 0x00;
  } else if (change == Change::kEvery) {
    for (int c = 0; c < 40; ++c) codes[320 + c] = static_cast<std::uint8_t>(step ? 0xFF : 0x00);
  }
  state.StatusByte = 0xFF;
  state.FrameReady = true;
}

void BM_FramePath(benchmark::State& state) {
  const int preset = static_cast<int>(state.range(0));
  const auto change = static_cast<Change>(state.range(1));
  MainWindow form(SerialProfile(), std::make_unique<test::ScriptedLink>());
  form.ResetDisplay(SerialProfile().onLineBackground);
  form.show();
  form.RecallPreset(preset);
  PollState poll;
  ComposeFrame(poll, 0, change);
  DecodeDisplay(poll, *form.Image());
  form.RefreshWindowState();
  QApplication::processEvents();
  int frame = 0;
  for (auto _ : state) {
    ComposeFrame(poll, ++frame, change);
    DecodeDisplay(poll, *form.Image());
    form.RefreshWindowState();
    // Paints what was asked for and hands it to the window system.
    QApplication::processEvents();
  }
  state.counters["width"] = form.View()->width();
  state.counters["height"] = form.View()->height();
}
BENCHMARK(BM_FramePath)
    ->ArgNames({"preset", "change"})
    ->ArgsProduct({{1, 5},
                   {static_cast<int>(Change::kNone), static_cast<int>(Change::kMeters),
                    static_cast<int>(Change::kEvery)}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace amppanel

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
