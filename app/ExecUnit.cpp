#include "app/ExecUnit.h"

namespace amppanel {

TExecThread::TExecThread(UiThread& ui, Clock& clock, milliseconds pauseMs, ExecProc workProc,
                         ExecProc frameCallback, ExecProc statusCallback)
    : WorkerThread(ui, clock),
      pauseMs_(pauseMs),
      workProc_(std::move(workProc)),
      frameCallback_(std::move(frameCallback)),
      statusCallback_(std::move(statusCallback)) {
  Start();
}

void TExecThread::Run() {
  for (;;) {
    Gate();
    if (Terminated()) break;
    if (workProc_) workProc_(*this);
    if (frameCallback_) Ui().Synchronize([this] { frameCallback_(*this); });
    if (statusCallback_) Ui().Synchronize([this] { statusCallback_(*this); });
    Pause(pauseMs_);
  }
}

}  // namespace amppanel
