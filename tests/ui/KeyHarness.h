// A main window on an in-memory amplifier link for the key tests: it answers
// display queries, records every frame, and lets a test hold the ON pulse open.
#pragma once

#include <QAction>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "protocol/Frames.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedLink.h"
#include "ui/BasicKeypadWindow.h"
#include "ui/FullKeypadWindow.h"
#include "ui/MainWindow.h"

namespace amppanel::test {

// Every wait runs 20 times faster than real, except the ON pulse while the
// gate is shut: that one lasts until the test opens the gate.
class GateClock final : public Clock {
 public:
  bool SleepFor(milliseconds d, const StopSignal* stop = nullptr) override {
    if (d == kOnPulse) {
      std::unique_lock lock(mutex_);
      ++pulses_;
      cv_.wait(lock, [this] { return open_; });
      return true;
    }
    return fast_.SleepFor(d, stop);
  }
  void Shut() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    cv_.notify_all();
  }
  // ON pulses begun (each asked for exactly kOnPulse).
  int Pulses() const {
    std::lock_guard lock(mutex_);
    return pulses_;
  }

 private:
  SteadyClock fast_{20};
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = true;
  int pulses_ = 0;
};

inline Bytes ScreenReply(std::uint8_t status) {
  return DisplayReply(0x01, status, Bytes(kDisplayDataSize, 0));
}

struct KeyHarness {
  explicit KeyHarness(const BuildProfile& profile = SerialProfile()) {
    auto owned = std::make_unique<ScriptedLink>();
    link = owned.get();
    link->responder = [](const Bytes& written) {
      if (written.size() >= 2 && written[written.size() - 2] == kQueryCode) {
        return ScreenReply(0xF8);
      }
      return Bytes{};
    };
    form = std::make_unique<MainWindow>(profile, std::move(owned), clock);
    auto recorder = std::make_unique<RecordingDialogs>();
    dialogs = recorder.get();
    form->SetDialogs(std::move(recorder));
    form->Settings().comPort = 1;
  }
  ~KeyHarness() {
    clock.Open();  // a held pulse must end before the window can
    form.reset();
  }

  bool Connect() {
    form->Connect();
    return QTest::qWaitFor([this] { return form->Polling(); }, 5000);
  }

  // The key codes written so far, without display queries and the code sent
  // on connecting.
  std::vector<int> Keys() const {
    std::vector<int> codes;
    for (const Bytes& frame : link->Writes()) {
      if (frame.size() < 2 || frame.size() != KeyFrame(form->Profile(), 0).size()) continue;
      const int code = frame[frame.size() - 2];
      if (code != kQueryCode && code != kConnectKeyCode) codes.push_back(code);
    }
    return codes;
  }
  std::size_t Writes() const { return link->Writes().size(); }

  FullKeypadWindow& Full() const { return *form->FullKeypad(); }
  BasicKeypadWindow& Basic() const { return *form->BasicKeypad(); }
  QAction& Act(const char* name) const { return *form->Action(name); }

  GateClock clock;
  ScriptedLink* link = nullptr;
  RecordingDialogs* dialogs = nullptr;
  std::unique_ptr<MainWindow> form;
};

using Codes = std::vector<int>;

}  // namespace amppanel::test
