// The main window: owns the link, the display image, the poll state and every
// worker; mirrors the amplifier's display while on-line.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/BuildProfile.h"
#include "core/Clock.h"
#include "core/OneShotWorker.h"
#include "core/PollWorker.h"
#include "core/UiThread.h"
#include "core/WorkerThread.h"
#include "display/DisplayImage.h"
#include "keys/Keys.h"
#include "link/Link.h"
#include "link/LinkStatus.h"
#include "platform/Settings.h"
#include "platform/SettingsStore.h"
#include "protocol/PollState.h"
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

inline constexpr milliseconds kPollPause{80};
inline constexpr std::uint8_t kConnectKeyCode = 101;

class MainWindow : public QMainWindow {
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
  LinkSettings& Settings() { return settings_; }
  QAction* Action(const std::string& name) const;
  ProgressWindow* Progress() const { return progress_; }
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
  void Connect();
  void Disconnect();
  void OnConnectStatus(OneShotWorker& thread);
  void ReportLinkFailure(const FT_Exception& failure);
  void StartPolling();
  void StopPolling();
  void DecodeDisplay();
  void CheckPollStatus();

  // Drawing.
  void ResetDisplay(Rgb background);
  void RefreshWindowState();

  // The front-panel key actions are enabled only while on-line.
  void EnableKeyActions();
  void DisableKeyActions();
  void SendKey(std::uint8_t code);

  // ---- text lines, freeze, still image, status bar ----
  void WriteText(int column, int row, std::string_view text);
  void ClearMessageRows();
  void ToggleFreeze();
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
  void ConfigureConnection();
  void SelectPreset(int n);
  void RecallPreset(int n);
  void RestoreDefaultPreset(int n);
  int PresetItem() const { return panel_.presetItem; }
  const PresetSizes& PresetSize() const { return panel_.presetSize; }
  // Outer size: frame, caption and menu bar included.
  QSize OuterSize() const;
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
  // The keypad windows light their lamps from this byte.
  void LampsChanged(std::uint8_t lamps);
  // Asks for the connection settings dialog after a failed connection.
  void ConfigureConnectionRequested();

 protected:
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
  // Stops polling and waits for every worker; nothing new starts afterwards.
  void EndWorkers();
  void CreateStatusPanels();
  void CreateViewActions();
  void CreateViewMenus();
  void ApplyLoadedSettings();
  void SetOuterSize(int height, int width);
  QSize FrameExtra() const;
  // Keeps the active preset at the window's outer size (end of every paint).
  void TrackPreset();

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
  std::shared_ptr<PollWorker> pollThread_;

  std::unique_ptr<SettingsStore> store_;
  PanelSettings panel_;
  std::function<void()> postAutoConfig_;
  // Frame margins in force when the window's size was last set: when the
  // window manager frames the window later, the outer size is kept, not the
  // client size.
  QSize appliedExtra_;
  bool recallingPreset_ = false;
  std::vector<QWidget*> keypadWindows_;
  std::vector<QLabel*> statusPanels_;

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
  // Work procedure of the ON worker: the control line up for kOnPulse, then
  // polling again.
  void PulseOnLine(OneShotWorker& thread);
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
  // shortcut with F (Ctrl+F) must not ask to switch the amplifier off.
  bool offKeyDown_ = false;
  // ==== end of remote keys ====================================================
};

}  // namespace amppanel
