// Every wait in the core goes through a Clock, so that tests can run the real
// protocol timings scaled down (or not at all) without changing the code.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace amppanel {

using std::chrono::milliseconds;

// A one-way stop signal that wakes a waiting sleeper.
class StopSignal {
 public:
  void Raise();
  bool Raised() const;
  // Waits up to d of real time; returns early (true) once the signal is raised.
  bool WaitFor(std::chrono::steady_clock::duration d) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  bool raised_ = false;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Sleeps for d (as this clock measures it). With a stop signal the sleep ends
  // early once the signal is raised; returns false in that case.
  virtual bool SleepFor(milliseconds d, const StopSignal* stop = nullptr) = 0;
};

// Real time, optionally divided by a factor (tests run protocol waits faster).
class SteadyClock final : public Clock {
 public:
  explicit SteadyClock(int divisor = 1) : divisor_(divisor < 1 ? 1 : divisor) {}
  bool SleepFor(milliseconds d, const StopSignal* stop = nullptr) override;

 private:
  int divisor_;
};

// The process-wide real clock.
Clock& RealClock();

}  // namespace amppanel
