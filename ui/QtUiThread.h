// The UI-thread hand-over on Qt's event loop.
#pragma once

#include <QObject>

#include "core/UiThread.h"

namespace amppanel {

class QtUiThread final : public UiThread {
 public:
  // Must be constructed on the GUI thread.
  QtUiThread();
  ~QtUiThread() override;

  void Synchronize(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  // Spins a local event loop: a plain wait here would deadlock a worker that
  // is blocked in Synchronize.
  void WaitUntil(const std::function<bool()>& done) override;
  bool IsUiThread() const override;

 private:
  QObject* receiver_;  // lives on the GUI thread; target of queued calls
};

}  // namespace amppanel
