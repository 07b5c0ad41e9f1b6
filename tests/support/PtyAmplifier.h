// The virtual amplifier behind a real pseudo-terminal, on its own thread as
// ampsim runs it: for the end-to-end tests and the benchmarks on the wire.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/BuildProfile.h"
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

}  // namespace amppanel::test
