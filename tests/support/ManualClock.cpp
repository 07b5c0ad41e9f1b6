#include "tests/support/ManualClock.h"

#include <thread>

namespace amppanel::test {

bool ManualClock::SleepFor(milliseconds d, const StopSignal* stop) {
  {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(d);
  }
  std::this_thread::yield();
  return stop == nullptr || !stop->Raised();
}

std::vector<milliseconds> ManualClock::Sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

milliseconds ManualClock::Total() const {
  std::lock_guard lock(mutex_);
  milliseconds total{0};
  for (auto d : sleeps_) total += d;
  return total;
}

}  // namespace amppanel::test
