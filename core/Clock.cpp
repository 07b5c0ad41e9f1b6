#include "core/Clock.h"

#include <thread>

namespace amppanel {

void StopSignal::Raise() {
  {
    std::lock_guard lock(mutex_);
    raised_ = true;
  }
  cv_.notify_all();
}

bool StopSignal::Raised() const {
  std::lock_guard lock(mutex_);
  return raised_;
}

bool StopSignal::WaitFor(std::chrono::steady_clock::duration d) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, d, [this] { return raised_; });
}

bool SteadyClock::SleepFor(milliseconds d, const StopSignal* stop) {
  const auto real = std::chrono::duration_cast<std::chrono::steady_clock::duration>(d) / divisor_;
  if (stop != nullptr) return !stop->WaitFor(real);
  std::this_thread::sleep_for(real);
  return true;
}

Clock& RealClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace amppanel
