// The main window: owns the link, the display image, the poll state and every
// worker; mirrors the amplifier's display while on-line.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/BuildProfile.h"
#include "core/Clock.h"
#include "core/UiThread.h"
#include "display/DisplayImage.h"
#include "display/StatusTexts.h"
#include "keys/Keys.h"
#include "link/Link.h"
#include "platform/Settings.h"
#include "platform/SettingsStore.h"
#include "session/PanelSession.h"
#include "ui/ConnectionDialog.h"
#include "ui/Dialogs.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;

namespace amppanel {

class DisplayView;
class AboutBox;
class BasicKeypadWindow;
class FullKeypadWindow;
class ProgressWindow;

// The window that owns the session with the amplifier and draws what it
// reports: the display, the status bar, the actions' states and the boxes.
class MainWindow : public QMainWindow, private SessionObserver {
  Q_OBJECT

 public:
  // Loads the settings from `store` (an empty store in memory when none is
  // given) and takes the active preset's size.
  MainWindow(const BuildProfile& profile, std::unique_ptr<Link> link, Clock& clock = RealClock(),
             std::unique_ptr<SettingsStore> store = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  const BuildProfile& Profile() const { return profile_; }
  // Replaces the message boxes and file dialogs (tests answer them).
  void SetDialogs(std::unique_ptr<Dialogs> dialogs);
  LinkSettings& Settings() { return session_->Settings(); }
  PanelSession& Session() { return *session_; }
  QAction* Action(const std::string& name) const;
  ProgressWindow* Progress() const { return progress_; }
  DisplayView* View() const { return view_; }
  // Null once the window has closed.
  const DisplayImage* Image() const { return session_->Image(); }
  DisplayImage* Image() { return session_->Image(); }
  bool OnLine() const { return session_->OnLine(); }
  bool Polling() const { return session_->Polling(); }
  Link& GetLink() { return session_->GetLink(); }
  // The drawn display area, in the window's client coordinates.
  QRect DisplayRect() const;

  // Connection and polling.
  void Connect();
  void Disconnect();
  void StartPolling() { session_->StartPolling(); }
  void StopPolling() { session_->StopPolling(); }

  // Drawing.
  void ResetDisplay(Rgb background);
  // Repaints what changed in the display, brings the status bar and the
  // preset's size up to date; cheap when nothing changed, so it runs for every
  // decoded frame. The window's own paints bring the last two up to date too.
  void RefreshWindowState();

  // The front-panel key actions are enabled only while on-line.
  void EnableKeyActions();
  void DisableKeyActions();
  void SendKey(std::uint8_t code) { session_->SendKey(code); }

  // ---- text lines, freeze, still image, status bar ----
  void WriteText(int column, int row, std::string_view text);
  void ClearMessageRows();
  void ToggleFreeze();
  // The firmware update: the serial baud guard, code 100, the package dialog
  // (101 when cancelled), then the upload.
  void LoadUpdate();
  void SaveStillImageAs();
  // Panel n of the status bar (0-7 serial, 0-5 USB).
  QLabel* StatusPanel(int n) const;
  void UpdateStatusBar();

  // ---- settings, presets, placement and menus ----
  // The settings as loaded; presets and the port follow the window's use.
  const PanelSettings& Panel() const { return panel_; }
  SettingsStore& Store() { return *store_; }
  void SaveSettings();
  // Runs the connection settings action from the event loop, as a request
  // posted after a failed connection does.
  void SetAutoConfigPoster(std::function<void()> post) { postAutoConfig_ = std::move(post); }
  // The program's connection settings dialog; without one, ConfigureConnection
  // only emits ConfigureConnectionRequested.
  void SetConnectionDialog(std::unique_ptr<ConnectionDialog> dialog);
  ConnectionDialog* GetConnectionDialog() const { return connectionDialog_.get(); }
  void ConfigureConnection();
  void SelectPreset(int n);
  void RecallPreset(int n);
  void RestoreDefaultPreset(int n);
  int PresetItem() const { return panel_.presetItem; }
  const PresetSizes& PresetSize() const { return panel_.presetSize; }
  // Outer size: frame, caption and menu bar included.
  QSize OuterSize() const;
  // Where the window is, frame included; a maximised window fills its
  // screen's work area.
  QRect OuterGeometry() const;
  void PlaceHome();
  void PlacePark();
  void PlaceKeypads();
  // The keypad windows in the order Home and Park stack them (last on top).
  const std::vector<QWidget*>& KeypadWindows() const { return keypadWindows_; }
  void ShowAboutBox();
  AboutBox* AboutDialog() const { return aboutBox_; }
  QMenu* ContextMenu() const { return popupMenu_; }
  QMenu* ViewMenu() const { return viewMenu_; }
  // Brings the window back from minimised and to the front (a second copy asked).
  void BringToFront();

 signals:
  // The keypad windows light their lamps from this byte; sent when it changes.
  void LampsChanged(std::uint8_t lamps);
  // The display image has been shown: a reply drawn, a blank after a bad one,
  // a reset or a message, whether or not a pixel changed.
  void FrameShown();
  // Asks for the connection settings dialog after a failed connection.
  void ConfigureConnectionRequested();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateFrame();
  QAction* MakeAction(const struct ActionSpec& row);
  void SetEnabled(const char* name, bool enabled);
  void SetKeyActions(bool enabled);
  void SetBackground(Rgb background);
  // Repaints what changed in the display image since the last look.
  void RepaintDisplayChanges();

  // SessionObserver: what the session reports, drawn.
  bool ConnectStillWanted() const override;
  void ShowConnectProgress(ConnectStep step) override;
  void ShowOnLine(bool onLine) override;
  void ShowDisplay() override;
  void ShowLamps(std::uint8_t lamps) override;
  void OfferUpdate(bool offered) override;
  void PollingRestarted() override;
  void ShowLineLost(bool lost) override;
  void ReportConnectFailure(const std::string& text) override;
  void ReportLinkFailure(const std::string& text) override;
  void ShowUpdating(bool updating, bool keysUsable) override;
  void ReportUpdateFailure(const std::string& text) override;
  void CreateStatusPanels();
  void CreateViewActions();
  void CreateViewMenus();
  void ApplyLoadedSettings();
  // Brings back onto a screen any window whose title bar could not be
  // grabbed where the settings put it.
  void KeepWindowsOnScreen();
  void SetOuterSize(int height, int width);
  QSize FrameExtra() const;
  // Keeps the active preset at the window's outer size (end of every paint).
  void TrackPreset();

  const BuildProfile& profile_;
  std::unique_ptr<UiThread> ui_;
  std::unique_ptr<Dialogs> dialogs_;
  // Made after the widgets it reports to, released before them.
  std::unique_ptr<PanelSession> session_;
  bool closing_ = false;

  std::unique_ptr<SettingsStore> store_;
  PanelSettings panel_;
  std::function<void()> postAutoConfig_;
  std::unique_ptr<ConnectionDialog> connectionDialog_;
  // Frame margins in force when the window's size was last set: when the
  // window manager frames the window later, the outer size is kept, not the
  // client size.
  QSize appliedExtra_;
  bool recallingPreset_ = false;
  bool trackPosted_ = false;
  std::vector<QWidget*> keypadWindows_;
  std::vector<QLabel*> statusPanels_;
  // What the panels show now, so that a frame that changes none of it costs
  // no text formatting.
  std::optional<StatusInputs> shownStatus_;
  // The lamp byte the keypads show; none before the first report.
  std::optional<std::uint8_t> shownLamps_;
  // Looked at on every decoded frame: found once.
  QAction* loadUpdate_ = nullptr;
  QAction* freeze_ = nullptr;
  QAction* save_ = nullptr;

  std::map<std::string, QAction*> actions_;
  std::map<int, QAction*> popupPresets_;
  QMenu* fileMenu_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QMenu* popupMenu_ = nullptr;
  AboutBox* aboutBox_ = nullptr;
  QFrame* topPanel_ = nullptr;
  QFrame* leftPanel_ = nullptr;
  QFrame* rightPanel_ = nullptr;
  DisplayView* view_ = nullptr;
  ProgressWindow* progress_ = nullptr;

  // ==== remote keys (MainFormKeys.cpp) ========================================
 public:
  FullKeypadWindow* FullKeypad() const { return fullKeypad_; }
  BasicKeypadWindow* BasicKeypad() const { return basicKeypad_; }
  // The action of a front-panel key.
  QAction* KeyAction(PanelKey key) const;
  // A front-panel key action: its code, combined with the full keypad's holds.
  void PressPanelKey(PanelKey key);
  void PressOff();
  void PressOn();
  void ToggleFullKeypad();
  void ToggleBasicKeypad();
  // The main window's keys, in virtual-key terms (see QtVirtualKeys.h).
  void HandleKeyDown(std::uint16_t key, bool ctrl);
  void HandleKeyUp(std::uint16_t key, bool ctrl);
  void HandleTypedCharacter(char typed);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void CreateKeyActions();
  std::array<QAction*, kPanelKeyCount> KeyActionsByKey() const;
  void CreateFullKeypad();
  void CreateBasicKeypad();
  void ConnectKeypads();
  void BringKeypadToFront();
  void FullKeypadClosed();
  void BasicKeypadClosed();

  FullKeypadWindow* fullKeypad_ = nullptr;
  BasicKeypadWindow* basicKeypad_ = nullptr;
  // F runs OFF on its release only when its press reached the window: a
  // shortcut with F (Ctrl+F, Alt+F for the menu) never asks to switch the
  // amplifier off. That is the safer choice for an amplifier on the air.
  bool offKeyDown_ = false;
  // ==== end of remote keys ====================================================
};

}  // namespace amppanel
