// Common ground of the program's worker threads: a termination request that
// also cuts short a pause, a suspend gate, and a wait that keeps serving the
// worker's hand-overs to the UI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "core/UiThread.h"

namespace amppanel {

// Called on a worker whose procedures let an exception escape, with its text.
// Nobody expected it, so the owner must tell the operator: a worker that simply
// vanished would leave the window claiming a connection that nothing serves.
using UnexpectedHandler = std::function<void(const std::string&)>;

class WorkerThread {
 public:
  WorkerThread(UiThread& ui, Clock& clock, UnexpectedHandler onUnexpected = {});
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Joins the thread; it must have ended or be about to (see WaitFor).
  virtual ~WorkerThread();

  // Sets the termination request and returns at once.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  // Suspend takes effect at the worker's next gate; Resume releases it.
  void Suspend();
  void Resume();
  bool Suspended() const;
  bool Finished() const { return finished_.load(); }
  // Blocks until the worker has ended. On the UI thread, hand-overs from the
  // worker keep being served meanwhile.
  void WaitFor();

  UiThread& Ui() const { return ui_; }
  Clock& GetClock() const { return clock_; }
  // Text of an exception that escaped the worker's procedures.
  std::string UnexpectedError() const;

 protected:
  // Starts the thread; the derived constructor calls it once all is in place.
  void Start();
  // Joins the thread unless it is the caller; derived destructors call it first
  // so that no member is destroyed under a running worker.
  void Join();
  virtual void Run() = 0;
  // Sleeps d through the clock; ends early (false) on a termination request.
  bool Pause(milliseconds d);
  // Holds the worker here while it is suspended and not asked to terminate.
  void Gate();

 private:
  void Body();

  UiThread& ui_;
  Clock& clock_;
  const UnexpectedHandler onUnexpected_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  StopSignal stop_;
  mutable std::mutex mutex_;
  std::condition_variable gateCv_;
  bool suspended_ = false;
  std::string unexpectedError_;
};

// Keeps every worker an owner started until it has ended, so that dropping a
// reference (a worker "freeing itself") never leaves a thread running past its
// owner. Used on the UI thread only.
class WorkerSet {
 public:
  explicit WorkerSet() = default;
  WorkerSet(const WorkerSet&) = delete;
  WorkerSet& operator=(const WorkerSet&) = delete;
  ~WorkerSet();

  template <class T, class... Args>
  std::shared_ptr<T> Start(Args&&... args) {
    Reap();
    auto worker = std::make_shared<T>(std::forward<Args>(args)...);
    workers_.push_back(worker);
    return worker;
  }
  // Releases the workers that have ended.
  void Reap();
  // Waits for every worker still running (serving their hand-overs), then
  // releases them all.
  void WaitForAll();
  std::size_t Running() const;

 private:
  std::vector<std::shared_ptr<WorkerThread>> workers_;
};

}  // namespace amppanel
