// The one-shot worker: connection sequence, ON pulse and firmware upload.
#pragma once

#include <functional>
#include <string>

#include "core/WorkerThread.h"

namespace amppanel {

class OneShotWorker;
using OneShotProc = std::function<void(OneShotWorker&)>;

class OneShotWorker final : public WorkerThread {
 public:
  OneShotWorker(UiThread& ui, Clock& clock, OneShotProc workProc, OneShotProc statusProc,
                UnexpectedHandler onUnexpected = {});
  ~OneShotWorker() override { Join(); }

  // On the worker: keeps the text, then runs the status procedure on the UI
  // thread and waits for it. With no status procedure only the text is kept.
  void ReportStatus(const std::string& text);
  // The last reported text; the status procedure reads it through the thread.
  std::string StatusText() const;
  // A wait of the work procedure; ends early (false) on a termination request.
  bool Sleep(milliseconds d) { return Pause(d); }

 private:
  void Run() override;

  const OneShotProc workProc_;
  const OneShotProc statusProc_;
  mutable std::mutex textMutex_;
  std::string statusText_;
};

}  // namespace amppanel
