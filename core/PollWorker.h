// The repeating poll worker.
#pragma once

#include <functional>
#include <string>

#include "core/WorkerThread.h"

namespace amppanel {

class PollWorker;
using PollProc = std::function<void(PollWorker&)>;

// Repeats until asked to terminate: the work step on the worker, then the frame
// and status callbacks on the UI thread (in that order, in one hand-over that
// the worker waits for), then the pause. The
// request is looked at only at the top of a cycle, so a cycle once begun always
// runs both callbacks; suspension holds the worker between two cycles.
class PollWorker final : public WorkerThread {
 public:
  PollWorker(UiThread& ui, Clock& clock, milliseconds pauseMs, PollProc workProc,
             PollProc frameCallback, PollProc statusCallback, UnexpectedHandler onUnexpected = {});
  ~PollWorker() override { Join(); }

  // Written by the work step when it catches a link failure; read by the
  // status callback inside the hand-over.
  std::string LinkErrorText;

 private:
  void Run() override;

  const milliseconds pauseMs_;
  const PollProc workProc_;
  const PollProc frameCallback_;
  const PollProc statusCallback_;
};

}  // namespace amppanel
