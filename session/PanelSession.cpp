#include "session/PanelSession.h"

#include "display/Renderer.h"
#include "display/TextLines.h"
#include "keys/Keys.h"
#include "protocol/Frames.h"
#include "protocol/PollStep.h"
#include "update/Upload.h"

namespace amppanel {

PanelSession::PanelSession(const BuildProfile& profile, std::unique_ptr<Link> link, UiThread& ui,
                           Clock& clock, SessionObserver& observer)
    : profile_(profile),
      link_(std::move(link)),
      ui_(ui),
      clock_(clock),
      observer_(observer),
      image_(std::make_unique<DisplayImage>()),
      self_(std::make_shared<PanelSession*>(this)) {
  image_->ResetDisplay(kOffLineBackground);
}

PanelSession::~PanelSession() { ShutdownNow(); }

void PanelSession::Post(std::function<void()> fn) {
  std::weak_ptr<PanelSession*> alive = self_;
  ui_.Post([alive, fn = std::move(fn)] {
    if (alive.lock()) fn();
  });
}

bool PanelSession::DeferWhileStopping(std::function<void()> fn) {
  if (!Stopping()) return false;
  deferred_.push_back(std::move(fn));
  return true;
}

void PanelSession::WhenIdle(std::function<void()> fn) {
  if (Stopping()) {
    deferred_.push_back(std::move(fn));
  } else {
    fn();
  }
}

void PanelSession::EndStop() {
  --stopDepth_;
  if (Stopping()) return;
  // The commands that came during the stop run from the event loop, after the
  // command that stopped has finished: run here, they would act on a half-done
  // state (a close inside a disconnect).
  auto deferred = std::move(deferred_);
  deferred_.clear();
  for (auto& fn : deferred) Post(std::move(fn));
}

UnexpectedHandler PanelSession::WorkerFailureHandler() {
  // Called on the dying worker: the UI thread takes it from there.
  return [this](const std::string& text) { Post([this, text] { HandleFailure(text); }); };
}

// ---- connecting -------------------------------------------------------------

bool PanelSession::Connect() {
  if (DeferWhileStopping([this] { Connect(); })) return true;
  if (shutDown_ || connecting_ || onLine_) return false;
  connecting_ = true;
  abortConnect_.store(false);
  ConnectContext context{
      .link = *link_,
      .profile = profile_,
      .settings = settings_,
      .stillWanted = [this] { return !abortConnect_.load() && observer_.ConnectStillWanted(); },
      .progress = {},
  };
  connectWorker_ = workers_.Start<OneShotWorker>(
      ui_, clock_, [this, context](OneShotWorker& w) { RunConnect(w, context); }, OneShotProc{},
      WorkerFailureHandler());
  return true;
}

void PanelSession::RunConnect(OneShotWorker& worker, const ConnectContext& base) {
  ConnectContext context = base;
  context.progress = [this](ConnectStep step) {
    ui_.Synchronize([this, step] {
      if (!shutDown_) observer_.ShowConnectProgress(step);
    });
  };
  const auto failure = ConnectLink(worker, context);
  if (failure) {
    ui_.Synchronize([this] {
      connecting_ = false;
      if (!shutDown_) GoOffLine();
    });
    // The box is shown from the event loop, not inside this hand-over: a wait
    // for this worker must never depend on the operator closing a box.
    Post([this, text = *failure] {
      if (!shutDown_) observer_.ReportConnectFailure(text);
    });
    return;
  }
  bool stillOn = false;
  ui_.Synchronize([this, &stillOn] {
    connecting_ = false;
    if (shutDown_) return;
    GoOnLine();
    stillOn = true;
  });
  if (!stillOn) return;
  // The USB program waits before and after the key sent on connecting; the
  // waits run here, not on the UI thread, and a disconnect cuts them short.
  const milliseconds wait = profile_.connectKeyWait;
  if (wait.count() > 0) worker.Sleep(wait);
  ui_.Synchronize([this] {
    if (onLine_) SendKey(kConnectKeyCode);
  });
  if (wait.count() > 0) worker.Sleep(wait);
  ui_.Synchronize([this] {
    if (onLine_ && !shutDown_) StartPolling();
  });
}

void PanelSession::GoOnLine() {
  onLine_ = true;
  frozen_ = false;
  ResetDisplay(profile_.onLineBackground);
  observer_.ShowOnLine(true);
}

void PanelSession::GoOffLine() {
  onLine_ = false;
  if (lineLost_) {
    lineLost_ = false;
    observer_.ShowLineLost(false);
  }
  frozen_ = false;
  ResetDisplay(kOffLineBackground);
  observer_.ShowLamps(0);
  observer_.OfferUpdate(false);
  observer_.ShowOnLine(false);
}

void PanelSession::Disconnect() {
  if (DeferWhileStopping([this] { Disconnect(); })) return;
  abortConnect_.store(true);
  if (connectWorker_) connectWorker_->Terminate();  // ends the connect waits early
  StopPolling();
  link_->Close();
  if (!shutDown_) GoOffLine();
}

// ---- polling ------------------------------------------------------------------

void PanelSession::StartPolling() {
  if (DeferWhileStopping([this] { StartPolling(); })) return;
  if (shutDown_ || pollWorker_) return;
  frozen_ = false;
  pollWorker_ = workers_.Start<PollWorker>(
      ui_, clock_, kPollPause,
      [this](PollWorker& w) { PollOnce(*link_, profile_, poll_, w.LinkErrorText); },
      [this](PollWorker&) { DecodeFrame(); }, [this](PollWorker&) { CheckPollStatus(); },
      WorkerFailureHandler());
}

void PanelSession::StopPolling() {
  // A stop inside a stop (a handler run by the outer wait) leaves the worker to
  // the outer one, which is already ending it.
  if (!pollWorker_ || Stopping()) return;
  ++stopDepth_;
  // Held here: a handler run during the wait may drop the session's reference.
  const std::shared_ptr<PollWorker> worker = pollWorker_;
  // A frozen worker must be released before it can see the request, and a poll
  // step reading a reply ends at once, whatever the peer keeps sending.
  if (worker->Suspended()) worker->Resume();
  worker->Terminate();
  link_->InterruptReads(true);
  worker->WaitFor();
  link_->InterruptReads(false);
  if (pollWorker_ == worker) pollWorker_.reset();
  workers_.Reap();
  EndStop();
}

void PanelSession::DecodeFrame() {
  if (!image_) return;
  const DecodeResult result = DecodeDisplay(poll_, *image_);
  if (!result.drawn) return;
  observer_.ShowLamps(result.lamps);
  observer_.OfferUpdate(result.offerUpdate);
  observer_.ShowDisplay();
}

void PanelSession::CheckPollStatus() {
  if (poll_.LineGone) {
    poll_.LineGone = false;
    poll_.SyncLost = false;
    if (!lineLost_) LoseLine();
  }
  if (lineLost_) {
    // The worker's step ran against a closed link; its blank is drawn already.
    poll_.SyncLost = false;
    TryReopenLine();
  }
  if (poll_.SyncLost) {
    poll_.SyncLost = false;
    if (image_) image_->ClearDisplay();
    observer_.ShowDisplay();
    observer_.ShowLamps(0);
    observer_.OfferUpdate(false);
  }
  if (poll_.LinkFailed) {
    poll_.LinkFailed = false;
    std::string text;
    if (pollWorker_) {
      text = pollWorker_->LinkErrorText;
      // This runs inside the worker's own cycle: ask it to end, never wait.
      pollWorker_->Terminate();
    }
    Post([this, text] { HandleFailure(text); });
  }
}

// The port went away under the serial program (an adapter unplugged, the far
// end gone): on-line with a blank display, as an amplifier that is switched off
// looks, while the same port is tried again once per poll cycle, quietly.
void PanelSession::LoseLine() {
  lineLost_ = true;
  link_->Close();
  if (image_) image_->ClearDisplay();
  observer_.ShowDisplay();
  observer_.ShowLamps(0);
  observer_.OfferUpdate(false);
  observer_.ShowLineLost(true);
}

void PanelSession::TryReopenLine() {
  if (link_->Reopen(settings_) != kLinkOk) return;
  try {
    link_->Configure();
  } catch (const FT_Exception&) {
    link_->Close();
    return;
  }
  lineLost_ = false;
  observer_.ShowLineLost(false);
  // As on a fresh connection: the amplifier is told a panel is there.
  SendKey(kConnectKeyCode);
}

void PanelSession::HandleFailure(const std::string& text) {
  if (DeferWhileStopping([this, text] { HandleFailure(text); })) return;
  if (shutDown_) return;
  if (updating_) {
    updating_ = false;
    observer_.ShowUpdating(false, false);
  }
  if (onLine_) {
    StopPolling();
    // The USB program resets the device before the disconnect closes it.
    link_->AfterFailure();
    Disconnect();
  } else {
    // A worker died while connecting: nothing is open to poll.
    connecting_ = false;
    link_->Close();
    GoOffLine();
  }
  observer_.ReportLinkFailure(text);
}

// ---- ON pulse, freeze, keys -------------------------------------------------

bool PanelSession::Pulsing() const { return pulseWorker_ && !pulseWorker_->Finished(); }

void PanelSession::PulseOn() {
  if (DeferWhileStopping([this] { PulseOn(); })) return;
  if (shutDown_ || Pulsing() || updating_) return;
  // No poll may run while the line is up.
  StopPolling();
  pulseWorker_ = workers_.Start<OneShotWorker>(
      ui_, clock_, [this](OneShotWorker& w) { PulseOnLine(w); }, OneShotProc{},
      WorkerFailureHandler());
}

void PanelSession::PulseOnLine(OneShotWorker& worker) {
  link_->LinePulse();
  worker.Sleep(kOnPulse);
  link_->LineRest();
  ui_.Synchronize([this] {
    // A disconnect during the pulse has closed the link: polling it would blank
    // the off-line display (serial) or report a failure nobody caused (USB).
    if (onLine_ && !pollWorker_ && !shutDown_) {
      StartPolling();
      observer_.PollingRestarted();
    }
  });
}

void PanelSession::SetFrozen(bool frozen) {
  if (DeferWhileStopping([this, frozen] { SetFrozen(frozen); })) return;
  frozen_ = frozen;
  if (!pollWorker_) return;
  // The worker comes to rest between two transactions, never inside one.
  if (frozen) {
    pollWorker_->Suspend();
  } else {
    pollWorker_->Resume();
  }
}

void PanelSession::SendKey(std::uint8_t code) {
  if (!link_->IsOpen()) return;
  (void)link_->Write(KeyFrame(profile_, code));
}

void PanelSession::ResetDisplay(Rgb background) {
  if (!image_) return;
  image_->ResetDisplay(background);
  observer_.ShowDisplay();
}

// ---- firmware update -----------------------------------------------------------

void PanelSession::StartUpdate(const std::string& packagePath) {
  if (DeferWhileStopping([this, packagePath] { StartUpdate(packagePath); })) return;
  if (shutDown_ || !onLine_ || updating_) return;
  // The upload owns the link alone for its whole run.
  StopPolling();
  PrepareLinkForUpload(*link_, profile_);
  updating_ = true;
  workers_.Start<OneShotWorker>(
      ui_, clock_, [this, packagePath](OneShotWorker& w) { RunUpdate(w, packagePath); },
      [this](OneShotWorker& w) { ShowUpdateStatus(w.StatusText()); }, WorkerFailureHandler());
}

void PanelSession::RunUpdate(OneShotWorker& worker, const std::string& packagePath) {
  UploadContext context{
      .link = *link_,
      .profile = profile_,
      .packagePath = packagePath,
      .disableActions =
          [this] { ui_.Synchronize([this] { observer_.ShowUpdating(true, false); }); },
      .showError =
          [this](const std::string& text) {
            ui_.Synchronize([this, &text] {
              if (!shutDown_) observer_.ReportUpdateFailure(text);
            });
          },
      .reportLinkFailure =
          [this](const FT_Exception& failure) {
            const std::string text = failure.what();
            // As after a failed connection: the serial program also offers the
            // connection settings.
            ui_.Synchronize([this, &text] {
              if (!shutDown_) observer_.ReportConnectFailure(text);
            });
          },
      .pulseOnLine =
          [this, &worker] {
            link_->LinePulse();
            worker.Sleep(kOnPulse);
            link_->LineRest();
            ui_.Synchronize([this] {
              if (onLine_ && !pollWorker_ && !shutDown_) StartPolling();
            });
          },
      .finish =
          [this](const UploadOutcome& outcome) {
            ui_.Synchronize([this, &outcome] {
              updating_ = false;
              // The USB program leaves the keys off after a failed update until
              // the next connection.
              const bool keysUsable =
                  profile_.link == LinkKind::kSerial || outcome.result == UploadResult::kSucceeded;
              observer_.ShowUpdating(false, keysUsable && onLine_);
              if (onLine_ && !pollWorker_ && !shutDown_) StartPolling();
            });
          },
  };
  UploadFirmware(worker, context);
}

void PanelSession::ShowUpdateStatus(const std::string& text) {
  if (!image_) return;
  // Rows 0, 1 and 7 keep what the amplifier showed last; the text stays until
  // the first frame accepted after polling resumes.
  ClearMessageRows(*image_);
  WriteText(*image_, 0, 3, text);
  observer_.ShowDisplay();
}

// ---- shutdown -----------------------------------------------------------------

void PanelSession::Shutdown() {
  if (DeferWhileStopping([this] { Shutdown(); })) return;
  ShutdownNow();
}

void PanelSession::ShutdownNow() {
  if (shutDown_) return;
  shutDown_ = true;
  abortConnect_.store(true);
  if (connectWorker_) connectWorker_->Terminate();
  if (pulseWorker_) pulseWorker_->Terminate();
  StopPolling();
  workers_.WaitForAll();
  link_->Close();
  onLine_ = false;
  image_.reset();
}

}  // namespace amppanel
