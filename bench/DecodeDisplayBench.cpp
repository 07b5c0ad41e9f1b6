// Cost of redrawing the whole display from one reply: the work the UI thread
// does inside every poll hand-over.
#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

#include "display/Renderer.h"

namespace amppanel {
namespace {

// An operate page as the amplifier shows it: a framed title, text, two bar
// meters built from the graphic glyphs, and an inverted menu line.
void FillOperatePage(PollState& state) {
  auto& data = state.ReplyBuffer;
  data.fill(0);
  auto text = [&](int row, int column, std::string_view s) {
    for (char ch : s)
      data[static_cast<std::size_t>(40 * row + column++)] = static_cast<std::uint8_t>(ch - 32);
  };
  auto cell = [&](int row, int column, std::uint8_t code) {
    data[static_cast<std::size_t>(40 * row + column)] = code;
  };
  cell(0, 0, 162);
  for (int c = 1; c < 39; ++c) cell(0, c, 159);
  cell(0, 39, 165);
  text(1, 2, "R40-XT   OPERATE   BAND 14MHz  ANT 1");
  text(3, 1, "PWR");
  for (int c = 5; c < 39; ++c) cell(3, c, c < 27 ? 136 : 130);
  text(4, 1, "SWR");
  for (int c = 5; c < 39; ++c) cell(4, c, c < 9 ? 139 : 131);
  text(5, 5, "0    200   400   600   800   1k");
  text(6, 1, "Ip 18.2A   Up 48.1V   T 41C   IN 2");
  text(7, 1, "TUNE  SET  DISPLAY  CAT  POWER  ON");
  for (int c = 0; c < 40; ++c) data[320 + static_cast<std::size_t>(c)] = 0x80;
  state.StatusByte = 0xD8;
}

void BM_DecodeDisplay(benchmark::State& bench) {
  auto image = std::make_unique<DisplayImage>();
  image->ResetDisplay(SerialProfile().onLineBackground);
  PollState poll;
  FillOperatePage(poll);
  for (auto _ : bench) {
    poll.FrameReady = true;
    const DecodeResult result = DecodeDisplay(poll, *image);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_DecodeDisplay);

}  // namespace
}  // namespace amppanel
