#include "app/FW_Update.h"

namespace amppanel {

TFW_UpdateThread::TFW_UpdateThread(UiThread& ui, Clock& clock, UpdateProc workProc,
                                   UpdateProc statusProc)
    : WorkerThread(ui, clock), workProc_(std::move(workProc)), statusProc_(std::move(statusProc)) {
  Start();
}

void TFW_UpdateThread::ReportStatus(const std::string& text) {
  {
    std::lock_guard lock(textMutex_);
    statusText_ = text;
  }
  if (statusProc_) Ui().Synchronize([this] { statusProc_(*this); });
}

std::string TFW_UpdateThread::StatusText() const {
  std::lock_guard lock(textMutex_);
  return statusText_;
}

void TFW_UpdateThread::Run() {
  if (workProc_) workProc_(*this);
}

}  // namespace amppanel
