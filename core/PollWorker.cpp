#include "core/PollWorker.h"

namespace amppanel {

PollWorker::PollWorker(UiThread& ui, Clock& clock, milliseconds pauseMs, PollProc workProc,
                       PollProc frameCallback, PollProc statusCallback)
    : WorkerThread(ui, clock),
      pauseMs_(pauseMs),
      workProc_(std::move(workProc)),
      frameCallback_(std::move(frameCallback)),
      statusCallback_(std::move(statusCallback)) {
  Start();
}

void PollWorker::Run() {
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
