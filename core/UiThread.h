// Hand-overs from worker threads to the UI thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace amppanel {

class UiThread {
 public:
  virtual ~UiThread() = default;

  // Runs fn on the UI thread and blocks until it has returned; an exception
  // thrown by fn is raised again in the caller. On the UI thread, runs fn at once.
  virtual void Synchronize(const std::function<void()>& fn) = 0;
  // Queues fn to run on the UI thread when its loop gets to it; does not wait.
  virtual void Post(std::function<void()> fn) = 0;
  // Blocks the UI thread until done() holds, serving hand-overs meanwhile (a
  // worker waiting in Synchronize must not deadlock the wait). Whoever makes
  // done() true must Post afterwards, so that the wait wakes up.
  virtual void WaitUntil(const std::function<bool()>& done) = 0;
  virtual bool IsUiThread() const = 0;
};

// A UI thread made of a task queue that its owning thread pumps by hand: the
// thread that constructs it is its UI thread. Used by tests and tools that have
// no event loop; it makes thread tests deterministic.
class QueueUiThread final : public UiThread {
 public:
  QueueUiThread();

  void Synchronize(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  void WaitUntil(const std::function<bool()>& done) override;
  bool IsUiThread() const override;

  // Runs every queued task (and those they queue); returns how many ran.
  int RunPending();
  // Waits until a task is queued, then runs the queue; false on time-out.
  bool RunNext(std::chrono::milliseconds timeout);
  // Waits until a task is queued without running it; false on time-out.
  bool WaitForTask(std::chrono::milliseconds timeout);

 private:
  std::function<void()> Take();

  const std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace amppanel
