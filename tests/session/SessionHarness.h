// Shared by the session tests: an observer that records what the window would
// be told, and a pump that serves the hand-pumped UI thread until a condition.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/UiThread.h"
#include "session/PanelSession.h"

namespace amppanel::test {

struct RecordingObserver final : SessionObserver {
  bool ConnectStillWanted() const override { return wanted.load(); }
  void ShowConnectProgress(ConnectStep step) override {
    events.push_back(step == ConnectStep::kAttempted ? "attempt" : "attempts over");
  }
  void ShowOnLine(bool onLine) override { events.push_back(onLine ? "on-line" : "off-line"); }
  void ShowDisplay() override {
    ++displays;
    if (onDisplay) onDisplay();
  }
  void ShowLamps(std::uint8_t value) override { lamps = value; }
  void OfferUpdate(bool offered) override { updateOffered = offered; }
  void PollingRestarted() override { events.push_back("polling restarted"); }
  void ShowLineLost(bool lost) override { events.push_back(lost ? "line lost" : "line back"); }
  void ReportConnectFailure(const std::string& text) override {
    events.push_back("connect failure: " + text);
  }
  void ReportLinkFailure(const std::string& text) override {
    events.push_back("link failure: " + text);
  }
  void ShowUpdating(bool updating, bool keysUsable) override {
    events.push_back(updating ? "updating" : keysUsable ? "updated, keys on" : "updated, keys off");
  }
  void ReportUpdateFailure(const std::string& text) override {
    events.push_back("update failure: " + text);
  }

  int Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
  bool SawStarting(const std::string& prefix) const {
    return std::any_of(events.begin(), events.end(),
                       [&](const std::string& e) { return e.starts_with(prefix); });
  }

  std::atomic<bool> wanted{true};
  std::vector<std::string> events;
  int displays = 0;
  std::uint8_t lamps = 0;
  bool updateOffered = false;
  std::function<void()> onDisplay;
};

// Serves the UI thread until pred holds; false once `limit` has passed.
template <class Pred>
bool PumpUntil(QueueUiThread& ui, Pred pred,
               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ui.RunNext(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace amppanel::test
