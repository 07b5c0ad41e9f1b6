// A clock that does not sleep: it records each requested wait and returns at
// once, so tests of timed sequences run instantly and can count the waits.
#pragma once

#include <mutex>
#include <vector>

#include "core/Clock.h"

namespace amppanel::test {

class ManualClock final : public Clock {
 public:
  bool SleepFor(milliseconds d, const StopSignal* stop = nullptr) override;
  std::vector<milliseconds> Sleeps() const;
  milliseconds Total() const;

 private:
  mutable std::mutex mutex_;
  std::vector<milliseconds> sleeps_;
};

}  // namespace amppanel::test
