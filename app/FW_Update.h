// The one-shot worker: connection sequence, ON pulse and firmware upload.
#pragma once

#include <functional>
#include <string>

#include "app/WorkerThread.h"

namespace amppanel {

class TFW_UpdateThread;
using UpdateProc = std::function<void(TFW_UpdateThread&)>;

class TFW_UpdateThread final : public WorkerThread {
 public:
  TFW_UpdateThread(UiThread& ui, Clock& clock, UpdateProc workProc, UpdateProc statusProc);
  ~TFW_UpdateThread() override { Join(); }

  // On the worker: keeps the text, then runs the status procedure on the UI
  // thread and waits for it. With no status procedure only the text is kept.
  void ReportStatus(const std::string& text);
  // The last reported text; the status procedure reads it through the thread.
  std::string StatusText() const;
  // A wait of the work procedure; ends early (false) on a termination request.
  bool Sleep(milliseconds d) { return Pause(d); }

 private:
  void Run() override;

  const UpdateProc workProc_;
  const UpdateProc statusProc_;
  mutable std::mutex textMutex_;
  std::string statusText_;
};

}  // namespace amppanel
