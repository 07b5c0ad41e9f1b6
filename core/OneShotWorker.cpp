#include "core/OneShotWorker.h"

namespace amppanel {

OneShotWorker::OneShotWorker(UiThread& ui, Clock& clock, OneShotProc workProc,
                             OneShotProc statusProc)
    : WorkerThread(ui, clock), workProc_(std::move(workProc)), statusProc_(std::move(statusProc)) {
  Start();
}

void OneShotWorker::ReportStatus(const std::string& text) {
  {
    std::lock_guard lock(textMutex_);
    statusText_ = text;
  }
  if (statusProc_) Ui().Synchronize([this] { statusProc_(*this); });
}

std::string OneShotWorker::StatusText() const {
  std::lock_guard lock(textMutex_);
  return statusText_;
}

void OneShotWorker::Run() {
  if (workProc_) workProc_(*this);
}

}  // namespace amppanel
