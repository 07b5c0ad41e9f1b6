// The main window: owns the link, the display image, the poll state and every
// worker; mirrors the amplifier's display while on-line.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/BuildProfile.h"
#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/ExecUnit.h"
#include "app/FW_Update.h"
#include "app/UiThread.h"
#include "app/WorkerThread.h"
#include "display/DisplayImage.h"
#include "display/PollState.h"
#include "link/Link.h"
#include "link/LinkStatus.h"

class QAction;
class QFrame;
class QMenu;

namespace amppanel {

class DisplayView;
class TWaitForm;

inline constexpr milliseconds kPollPause{80};
inline constexpr std::uint8_t kConnectKeyCode = 101;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  TForm1(const BuildProfile& profile, std::unique_ptr<Link> link, Clock& clock = RealClock(),
         QWidget* parent = nullptr);
  ~TForm1() override;

  const BuildProfile& Profile() const { return profile_; }
  // Replaces the message boxes and file dialogs (tests answer them).
  void SetDialogs(std::unique_ptr<Dialogs> dialogs);
  LinkSettings& Settings() { return settings_; }
  QAction* Action(const std::string& name) const;
  TWaitForm* WaitForm() const { return waitForm_; }
  DisplayView* View() const { return view_; }
  // Null once the window has closed.
  const DisplayImage* Image() const { return image_.get(); }
  DisplayImage* Image() { return image_.get(); }
  bool OnLine() const { return onLine_; }
  bool Polling() const { return pollThread_ != nullptr; }
  Link& GetLink() { return *link_; }
  // The drawn display area, in the window's client coordinates.
  QRect DisplayRect() const;

  // Connection and polling.
  void actOpenExecute();
  void actCloseExecute();
  void OnConnectStatus(TFW_UpdateThread& thread);
  void ReportLinkFailure(const FT_Exception& failure);
  void StartPolling();
  void StopPolling();
  void DecodeDisplay();
  void CheckPollStatus();

  // Drawing.
  void ResetDisplay(Rgb background);
  void FormPaint();

  // The front-panel key actions are enabled only while on-line.
  void EnableKeyActions();
  void DisableKeyActions();
  void SendKey(std::uint8_t code);

 signals:
  // The keypad windows light their lamps from this byte.
  void LampsChanged(std::uint8_t lamps);
  // Asks for the connection settings dialog after a failed connection.
  void ConfigureConnectionRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateFrame();
  QAction* MakeAction(const struct ActionSpec& row);
  void SetEnabled(const char* name, bool enabled);
  void SetKeyActions(bool enabled);
  // Stops polling and waits for every worker; nothing new starts afterwards.
  void EndWorkers();

  const BuildProfile& profile_;
  std::unique_ptr<Link> link_;
  Clock& clock_;
  std::unique_ptr<UiThread> ui_;
  std::unique_ptr<Dialogs> dialogs_;
  LinkSettings settings_;

  std::unique_ptr<DisplayImage> image_;
  PollState poll_;
  bool onLine_ = false;
  bool closing_ = false;
  WorkerSet workers_;
  std::shared_ptr<TExecThread> pollThread_;

  std::map<std::string, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QFrame* topPanel_ = nullptr;
  QFrame* leftPanel_ = nullptr;
  QFrame* rightPanel_ = nullptr;
  DisplayView* view_ = nullptr;
  TWaitForm* waitForm_ = nullptr;
};

}  // namespace amppanel
