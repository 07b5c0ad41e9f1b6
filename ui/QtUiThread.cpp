#include "ui/QtUiThread.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

namespace amppanel {

QtUiThread::QtUiThread() : receiver_(new QObject) {}

QtUiThread::~QtUiThread() { delete receiver_; }

bool QtUiThread::IsUiThread() const { return QThread::currentThread() == receiver_->thread(); }

void QtUiThread::Synchronize(const std::function<void()>& fn) {
  if (IsUiThread()) {
    fn();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      receiver_,
      [&] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

void QtUiThread::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(receiver_, std::move(fn), Qt::QueuedConnection);
}

void QtUiThread::WaitUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace amppanel
