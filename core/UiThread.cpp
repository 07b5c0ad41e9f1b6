#include "core/UiThread.h"

#include <exception>
#include <memory>

namespace amppanel {

QueueUiThread::QueueUiThread() : owner_(std::this_thread::get_id()) {}

bool QueueUiThread::IsUiThread() const { return std::this_thread::get_id() == owner_; }

void QueueUiThread::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(fn));
  }
  cv_.notify_all();
}

void QueueUiThread::Synchronize(const std::function<void()>& fn) {
  if (IsUiThread()) {
    fn();
    return;
  }
  struct HandOver {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
  };
  auto handOver = std::make_shared<HandOver>();
  Post([handOver, &fn] {
    try {
      fn();
    } catch (...) {
      handOver->error = std::current_exception();
    }
    {
      std::lock_guard lock(handOver->mutex);
      handOver->done = true;
    }
    handOver->cv.notify_all();
  });
  std::unique_lock lock(handOver->mutex);
  handOver->cv.wait(lock, [&] { return handOver->done; });
  // The exception object must die on this thread: the hand-over itself may be freed
  // by the UI thread after we return, and a last reference dropped there would free
  // the exception while our caller is still reading it.
  std::exception_ptr error = std::move(handOver->error);
  handOver->error = nullptr;
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

std::function<void()> QueueUiThread::Take() {
  std::lock_guard lock(mutex_);
  if (tasks_.empty()) return {};
  auto fn = std::move(tasks_.front());
  tasks_.pop_front();
  return fn;
}

int QueueUiThread::RunPending() {
  int ran = 0;
  while (auto fn = Take()) {
    fn();
    ++ran;
  }
  return ran;
}

bool QueueUiThread::RunNext(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return !tasks_.empty(); })) return false;
  }
  RunPending();
  return true;
}

bool QueueUiThread::WaitForTask(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return !tasks_.empty(); });
}

void QueueUiThread::WaitUntil(const std::function<bool()>& done) {
  while (!done()) {
    std::function<void()> fn;
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [this] { return !tasks_.empty(); });
      fn = std::move(tasks_.front());
      tasks_.pop_front();
    }
    fn();
  }
}

}  // namespace amppanel
