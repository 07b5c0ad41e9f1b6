// The repeating poll worker.
#pragma once

#include <functional>
#include <string>

#include "app/WorkerThread.h"

namespace amppanel {

class TExecThread;
using ExecProc = std::function<void(TExecThread&)>;

// Repeats until asked to terminate: the work step on the worker, then the frame
// and status callbacks on the UI thread (each waited for), then the pause. The
// request is looked at only at the top of a cycle, so a cycle once begun always
// runs both callbacks; suspension holds the worker between two cycles.
class TExecThread final : public WorkerThread {
 public:
  TExecThread(UiThread& ui, Clock& clock, milliseconds pauseMs, ExecProc workProc,
              ExecProc frameCallback, ExecProc statusCallback);
  ~TExecThread() override { Join(); }

  // Written by the work step when it catches a link failure; read by the
  // status callback inside the hand-over.
  std::string LinkErrorText;

 private:
  void Run() override;

  const milliseconds pauseMs_;
  const ExecProc workProc_;
  const ExecProc frameCallback_;
  const ExecProc statusCallback_;
};

}  // namespace amppanel
