// The virtual amplifier behind a real pseudo-terminal, on its own thread as
// ampsim runs it, for the main window's end-to-end tests.
#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/BuildProfile.h"
#include "display/DisplayImage.h"
#include "display/Renderer.h"
#include "protocol/PollState.h"
#include "sim/AmpEngine.h"
#include "sim/Pty.h"

namespace amppanel::test {

class PtyAmplifier {
 public:
  PtyAmplifier() {
    std::string error;
    opened_ = pty_.Open(error);
    if (opened_) bridge_ = std::thread([this] { PtyBridge(pty_, engine).Run(stop_); });
    // Keeps the key codes that arrive whole; the query and the connect key
    // are counted apart. Every frame is counted with the keys, under one lock,
    // so the count never lags a key already seen.
    engine.SetFrameObserver([this](const FrameEvent& e) {
      std::lock_guard lock(mutex_);
      ++frames_;
      if (!e.checkOk || e.payload.size() != 1) return;
      const int code = e.payload[0];
      if (code == key::kCancel) ++connectKeys;
      if (code == 0x80 || code == key::kCancel) return;
      keys_.push_back(code);
    });
  }
  ~PtyAmplifier() {
    stop_ = true;
    if (bridge_.joinable()) bridge_.join();
  }
  PtyAmplifier(const PtyAmplifier&) = delete;
  PtyAmplifier& operator=(const PtyAmplifier&) = delete;

  bool Opened() const { return opened_; }
  const std::string& Device() const { return pty_.SlavePath(); }
  std::vector<int> Keys() const {
    std::lock_guard lock(mutex_);
    return keys_;
  }
  // Every frame the amplifier has taken, whole or not.
  int Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }

  AmpEngine engine;
  std::atomic<int> connectKeys{0};

 private:
  PtyMaster pty_;
  bool opened_ = false;
  std::atomic<bool> stop_{false};
  std::thread bridge_;
  mutable std::mutex mutex_;
  std::vector<int> keys_;
  int frames_ = 0;
};

// Whether `shown` is what a display reply with this data and status draws.
inline bool ShowsReply(const DisplayImage& shown, const std::vector<std::uint8_t>& data,
                       std::uint8_t status) {
  PollState state;
  std::copy(data.begin(), data.end(), state.ReplyBuffer.begin());
  state.StatusByte = status;
  state.FrameReady = true;
  DisplayImage expected;
  expected.ResetDisplay(SerialProfile().onLineBackground);
  DecodeDisplay(state, expected);
  return std::equal(expected.Data(),
                    expected.Data() + DisplayImage::kBytesPerLine * DisplayImage::kHeight,
                    shown.Data());
}

// Whether `shown` is what the window must show for the amplifier's display of
// this moment.
inline bool ShowsTheAmplifiersDisplay(const DisplayImage& shown, AmpEngine& engine) {
  const auto data = engine.CurrentScreen().Bytes();
  return ShowsReply(shown, std::vector<std::uint8_t>(data.begin(), data.end()),
                    engine.StatusByte());
}

// Whether `shown` is what the amplifier's last display reply draws. For a
// display that moves on its own, compared with the panel at rest.
inline bool ShowsTheLastReply(const DisplayImage& shown, const AmpEngine& engine) {
  const auto [data, status] = engine.LastDisplaySent();
  return !data.empty() && ShowsReply(shown, data, status);
}

}  // namespace amppanel::test
