#include "core/PollWorker.h"

namespace amppanel {

PollWorker::PollWorker(UiThread& ui, Clock& clock, milliseconds pauseMs, PollProc workProc,
                       PollProc frameCallback, PollProc statusCallback,
                       UnexpectedHandler onUnexpected)
    : WorkerThread(ui, clock, std::move(onUnexpected)),
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
    // One wake-up of the UI thread a cycle: the frame, then the status.
    if (frameCallback_ || statusCallback_) {
      Ui().Synchronize([this] {
        if (frameCallback_) frameCallback_(*this);
        if (statusCallback_) statusCallback_(*this);
      });
    }
    Pause(pauseMs_);
  }
}

}  // namespace amppanel
