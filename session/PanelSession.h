// The panel's session with the amplifier: connecting, polling the display,
// sync loss, link failure, disconnecting, the ON pulse and Freeze. It owns the
// link, the display image, the poll state and every worker, and tells its
// window what to show through SessionObserver. It has no user interface of its
// own, so the whole state machine runs in tests on a hand-pumped UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/BuildProfile.h"
#include "core/Clock.h"
#include "core/OneShotWorker.h"
#include "core/PollWorker.h"
#include "core/UiThread.h"
#include "core/WorkerThread.h"
#include "display/DisplayImage.h"
#include "link/Link.h"
#include "protocol/ConnectLink.h"
#include "protocol/PollState.h"

namespace amppanel {

inline constexpr milliseconds kPollPause{80};
inline constexpr std::uint8_t kConnectKeyCode = 101;

// What the session reports to its window. Every call but ConnectStillWanted
// comes on the UI thread.
class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // Called on the connect worker after each failed attempt: false aborts the
  // sequence (the operator closed the progress window). Must be thread-safe.
  virtual bool ConnectStillWanted() const = 0;
  virtual void ShowConnectProgress(ConnectStep step) = 0;
  // The connection came up or went down; the display has been reset to the
  // matching background already.
  virtual void ShowOnLine(bool onLine) = 0;
  // The image changed: redraw it.
  virtual void ShowDisplay() = 0;
  virtual void ShowLamps(std::uint8_t lamps) = 0;
  // Whether the amplifier's status currently accepts a firmware update.
  virtual void OfferUpdate(bool offered) = 0;
  // A new poll worker runs: whatever paused the old one (Freeze) is over.
  virtual void PollingRestarted() = 0;
  // The line went away while on-line (lost) and the session keeps trying to
  // reopen it, or it came back.
  virtual void ShowLineLost(bool lost) = 0;
  // The connection sequence failed or was aborted; the session is off-line.
  virtual void ReportConnectFailure(const std::string& text) = 0;
  // The link failed while on-line, or a worker ended by an exception nobody
  // expected; the session has disconnected already.
  virtual void ReportLinkFailure(const std::string& text) = 0;
  // A firmware update started (the operator's commands that could disturb it
  // go away) or ended; keysUsable says whether the front-panel keys work again.
  virtual void ShowUpdating(bool updating, bool keysUsable) = 0;
  // The package or the loader conversation failed; called while the upload
  // waits, before it tells the amplifier to go back to normal.
  virtual void ReportUpdateFailure(const std::string& text) = 0;
};

class PanelSession {
 public:
  PanelSession(const BuildProfile& profile, std::unique_ptr<Link> link, UiThread& ui, Clock& clock,
               SessionObserver& observer);
  PanelSession(const PanelSession&) = delete;
  PanelSession& operator=(const PanelSession&) = delete;
  // Stops every worker and closes the link.
  ~PanelSession();

  const BuildProfile& Profile() const { return profile_; }
  LinkSettings& Settings() { return settings_; }
  Link& GetLink() { return *link_; }
  // Null after Shutdown.
  DisplayImage* Image() { return image_.get(); }
  const DisplayImage* Image() const { return image_.get(); }

  bool OnLine() const { return onLine_; }
  bool Polling() const { return pollWorker_ != nullptr; }
  bool Connecting() const { return connecting_; }
  bool Frozen() const { return frozen_; }
  // On-line, but the line went away and is being reopened once per poll cycle.
  bool LineLost() const { return lineLost_; }
  // A stop is under way (the UI thread waits for a worker and serves events
  // meanwhile); commands that arrive now run when it is over.
  bool Stopping() const { return stopDepth_ > 0; }
  bool ShutDown() const { return shutDown_; }

  // Starts the connection sequence on a worker; false when one runs already,
  // the session is on-line or it has shut down.
  bool Connect();
  void Disconnect();
  // Pulses the ON line for kOnPulse with polling stopped, then polls again. A
  // request while a pulse runs is ignored: overlapping pulses would chop the
  // line into short ones.
  void PulseOn();
  bool Pulsing() const;
  // Pauses the poll worker between two transactions, or lets it go on.
  void SetFrozen(bool frozen);
  // Writes a key frame (nothing when the link is closed).
  void SendKey(std::uint8_t code);

  // Stops polling and uploads the package on a worker; the progress is drawn
  // into the display's message rows. Throws FT_Exception when the link cannot
  // be prepared (the USB time-outs), leaving polling stopped.
  void StartUpdate(const std::string& packagePath);
  bool Updating() const { return updating_; }
  void StartPolling();
  void StopPolling();

  // Draws the off-line or on-line background (and tells the window).
  void ResetDisplay(Rgb background);

  // Runs fn once no stop is in progress: now, or when the current one ends.
  void WhenIdle(std::function<void()> fn);
  // Stops every worker, closes the link and releases the image. Nothing starts
  // afterwards. During a stop, it happens when the stop is over.
  void Shutdown();
  // The same at once, for an owner being destroyed: it cannot wait for a stop
  // in progress to end, but joins every worker all the same.
  void ShutdownNow();

 private:
  void RunConnect(OneShotWorker& worker, const ConnectContext& base);
  void GoOnLine();
  void GoOffLine();
  void PulseOnLine(OneShotWorker& worker);
  void RunUpdate(OneShotWorker& worker, const std::string& packagePath);
  void ShowUpdateStatus(const std::string& text);
  void DecodeFrame();
  void CheckPollStatus();
  void LoseLine();
  void TryReopenLine();
  // Ends the connection after a failure and tells the operator why.
  void HandleFailure(const std::string& text);
  // Queues fn on the UI thread; it does nothing once the session is gone.
  void Post(std::function<void()> fn);
  // During a stop, keeps fn for later and returns true.
  bool DeferWhileStopping(std::function<void()> fn);
  void EndStop();
  UnexpectedHandler WorkerFailureHandler();

  const BuildProfile& profile_;
  std::unique_ptr<Link> link_;
  UiThread& ui_;
  Clock& clock_;
  SessionObserver& observer_;
  LinkSettings settings_;

  std::unique_ptr<DisplayImage> image_;
  PollState poll_;
  bool onLine_ = false;
  bool connecting_ = false;
  bool frozen_ = false;
  bool updating_ = false;
  bool lineLost_ = false;
  bool shutDown_ = false;
  // Set to end a connection sequence early (disconnect, shutdown).
  std::atomic<bool> abortConnect_{false};
  int stopDepth_ = 0;
  std::vector<std::function<void()>> deferred_;
  WorkerSet workers_;
  std::shared_ptr<PollWorker> pollWorker_;
  std::shared_ptr<OneShotWorker> connectWorker_;
  std::shared_ptr<OneShotWorker> pulseWorker_;
  // Tasks posted to the UI thread hold this weakly: one that runs after the
  // session is gone does nothing.
  std::shared_ptr<PanelSession*> self_;
};

}  // namespace amppanel
