#include "core/WorkerThread.h"

#include <exception>

namespace amppanel {

WorkerThread::WorkerThread(UiThread& ui, Clock& clock, UnexpectedHandler onUnexpected)
    : ui_(ui), clock_(clock), onUnexpected_(std::move(onUnexpected)) {}

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Join() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // the last reference was dropped by the worker itself
  } else {
    thread_.join();
  }
}

void WorkerThread::Start() {
  thread_ = std::thread([this] { Body(); });
}

void WorkerThread::Body() {
  std::string error;
  bool failed = false;
  try {
    Run();
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  } catch (...) {
    failed = true;
    error = "unknown exception";
  }
  if (failed) {
    {
      std::lock_guard lock(mutex_);
      unexpectedError_ = error;
    }
    if (onUnexpected_) onUnexpected_(error);
  }
  finished_.store(true);
  // Wakes a UI thread waiting for this worker.
  ui_.Post([] {});
}

void WorkerThread::Terminate() {
  terminated_.store(true);
  stop_.Raise();
  std::lock_guard lock(mutex_);
  gateCv_.notify_all();
}

void WorkerThread::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void WorkerThread::Resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
  }
  gateCv_.notify_all();
}

bool WorkerThread::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

std::string WorkerThread::UnexpectedError() const {
  std::lock_guard lock(mutex_);
  return unexpectedError_;
}

bool WorkerThread::Pause(milliseconds d) { return clock_.SleepFor(d, &stop_); }

void WorkerThread::Gate() {
  std::unique_lock lock(mutex_);
  gateCv_.wait(lock, [this] { return !suspended_ || terminated_.load(); });
}

void WorkerThread::WaitFor() {
  if (ui_.IsUiThread()) {
    ui_.WaitUntil([this] { return Finished(); });
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

WorkerSet::~WorkerSet() { WaitForAll(); }

void WorkerSet::Reap() {
  std::erase_if(workers_, [](const auto& w) { return w->Finished(); });
}

void WorkerSet::WaitForAll() {
  for (auto& w : workers_) w->WaitFor();
  workers_.clear();
}

std::size_t WorkerSet::Running() const {
  std::size_t n = 0;
  for (const auto& w : workers_) n += w->Finished() ? 0 : 1;
  return n;
}

}  // namespace amppanel
