// One repaint of the main window's display area stretched to 1424 x 488,
// offscreen: the cost the UI thread pays for every mirrored frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/ScriptedLink.h"
#include "ui/DisplayView.h"
#include "ui/MainWindow.h"

namespace amppanel {
namespace {

void BM_FormPaint(benchmark::State& state) {
  MainWindow form(SerialProfile(), std::make_unique<test::ScriptedLink>());
  form.ResetDisplay(SerialProfile().onLineBackground);
  for (int c = 0; c < 320; ++c) {
    form.Image()->DrawCell(c % 40, c / 40, static_cast<std::uint8_t>(c % 224), false, c % 7 == 0);
  }
  form.show();
  form.View()->resize(1424, 488);
  QApplication::processEvents();
  for (auto _ : state) form.View()->repaint();
  state.counters["width"] = form.View()->width();
  state.counters["height"] = form.View()->height();
}
BENCHMARK(BM_FormPaint)->Unit(benchmark::kMicrosecond);

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
