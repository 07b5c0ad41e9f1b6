#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QMenuBar>
#include <QStatusBar>

#include "display/DisplayText.h"
#include "keys/Keys.h"
#include "link/LinkStatus.h"
#include "protocol/Frames.h"
#include "ui/AboutBox.h"
#include "ui/ActionNames.h"
#include "ui/ActionTable.h"
#include "ui/AppIcon.h"
#include "ui/DisplayView.h"
#include "ui/ProgressWindow.h"
#include "ui/QtDialogs.h"
#include "ui/QtUiThread.h"
#include "update/Upload.h"

namespace amppanel {
namespace {

constexpr int kPanelThickness = 2;
constexpr int kStatusBarHeight = 19;
constexpr int kProgressStep = 3;
// The loader accepts a package only at 115200 baud.
constexpr int kUpdateBaudIndex = 6;
constexpr char kUpdateBaudText[] = "Firmware update is allowed \rat 115200 Baud only.";

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QFrame* BevelPanel(QWidget* parent, const char* name) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  return panel;
}

}  // namespace

MainWindow::MainWindow(const BuildProfile& profile, std::unique_ptr<Link> link, Clock& clock,
                       std::unique_ptr<SettingsStore> store, QWidget* parent)
    : QMainWindow(parent),
      profile_(profile),
      ui_(std::make_unique<QtUiThread>()),
      dialogs_(std::make_unique<QtDialogs>(
          this, QString::fromUtf8(profile.programName.data(), profile.programName.size()))),
      session_(std::make_unique<PanelSession>(profile, std::move(link), *ui_, clock,
                                              static_cast<SessionObserver&>(*this))),
      store_(store ? std::move(store) : std::make_unique<MemorySettingsStore>()) {
  setObjectName("TForm1");
  setWindowTitle(QString::fromUtf8(profile_.caption.data(), profile_.caption.size()));
  // The keypads, the progress window, the dialogs and the boxes it owns show
  // it too.
  setWindowIcon(AppIcon());
  resize(507, profile_.link == LinkKind::kSerial ? 185 : 214);
  setMinimumSize(263, 146);

  postAutoConfig_ = [this] {
    ui_->Post([this] {
      if (!closing_) ConfigureConnection();
    });
  };
  CreateActions();
  CreateViewActions();
  CreateKeyActions();
  CreateMenus();
  CreateViewMenus();
  CreateFrame();
  ApplyLoadedSettings();
  // The keypads read the loaded places and checks as they are made; the
  // windows come in the order the operator's window manager has always seen.
  CreateFullKeypad();
  progress_ = new ProgressWindow(
      this, QString::fromUtf8(profile_.waitCaption.data(), profile_.waitCaption.size()));
  aboutBox_ = new AboutBox(profile_, this);
  CreateBasicKeypad();
  KeepWindowsOnScreen();

  view_->Attach(*Image());
  ResetDisplay(kOffLineBackground);
  DisableKeyActions();
  ConnectKeypads();
}

MainWindow::~MainWindow() {
  closing_ = true;
  // The session's workers report to this window until they have ended.
  session_->ShutdownNow();
  // The view draws from the session's image.
  if (view_ != nullptr) view_->Detach();
  session_.reset();
}

void MainWindow::SetDialogs(std::unique_ptr<Dialogs> dialogs) { dialogs_ = std::move(dialogs); }

QAction* MainWindow::MakeAction(const ActionSpec& row) {
  auto* action = new QAction(QString::fromUtf8(row.caption.data(), row.caption.size()), this);
  action->setObjectName(QString::fromUtf8(row.name.data(), row.name.size()));
  if (!row.shortcut.empty()) {
    action->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut.data(), row.shortcut.size())));
  }
  action->setToolTip(QString::fromUtf8(row.hint.data(), row.hint.size()));
  action->setProperty("category", QString::fromUtf8(row.category.data(), row.category.size()));
  action->setCheckable(row.checkable);
  actions_[std::string(row.name)] = action;
  addAction(action);  // shortcuts work without the menu being open
  return action;
}

void MainWindow::CreateActions() {
  for (const ActionSpec& row : FileActions(profile_)) MakeAction(row);
  // Freeze and Save arrive with the display tools; they exist from the start so
  // that the connection code can set their state.
  MakeAction({act::kFreeze, "&Freeze display", "Ctrl+F", "", "FileGroup", true});
  MakeAction({act::kSave, "&Save STLL IMAGE", "Ctrl+V", "", "FileGroup"});

  connect(Action(act::kOpen), &QAction::triggered, this, [this] { Connect(); });
  connect(Action(act::kClose), &QAction::triggered, this, [this] { Disconnect(); });
  connect(Action(act::kConfigureConnection), &QAction::triggered, this,
          [this] { ConfigureConnection(); });
  connect(Action(act::kExit), &QAction::triggered, this, [this] { close(); });
  connect(Action(act::kFreeze), &QAction::triggered, this, [this] { ToggleFreeze(); });
  connect(Action(act::kLoadUpdate), &QAction::triggered, this, [this] { LoadUpdate(); });
  connect(Action(act::kSave), &QAction::triggered, this, [this] { SaveStillImageAs(); });

  SetEnabled(act::kClose, false);
  SetEnabled(act::kLoadUpdate, false);
  SetEnabled(act::kFreeze, false);
  SetEnabled(act::kSave, false);
  loadUpdate_ = Action(act::kLoadUpdate);
  freeze_ = Action(act::kFreeze);
  save_ = Action(act::kSave);
}

void MainWindow::CreateMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
  fileMenu_->addAction(Action(act::kOpen));
  fileMenu_->addAction(Action(act::kClose));
  fileMenu_->addAction(Action(act::kConfigureConnection));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(act::kLoadUpdate));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(act::kExit));
}

void MainWindow::CreateFrame() {
  auto* central = new QWidget(this);
  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  topPanel_ = BevelPanel(central, "TopPanel");
  topPanel_->setFixedHeight(kPanelThickness);
  leftPanel_ = BevelPanel(central, "LeftPanel");
  leftPanel_->setFixedWidth(kPanelThickness);
  rightPanel_ = BevelPanel(central, "RightPanel");
  rightPanel_->setFixedWidth(kPanelThickness);
  view_ = new DisplayView(central);
  view_->setMinimumSize(1, 1);
  grid->addWidget(topPanel_, 0, 0, 1, 3);
  grid->addWidget(leftPanel_, 1, 0);
  grid->addWidget(view_, 1, 1);
  grid->addWidget(rightPanel_, 1, 2);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(1, 1);
  central->setAutoFillBackground(true);
  setCentralWidget(central);
  statusBar()->setObjectName("StatusBar1");
  statusBar()->setFixedHeight(kStatusBarHeight);
  statusBar()->setSizeGripEnabled(false);
  CreateStatusPanels();
}

QAction* MainWindow::Action(const std::string& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::SetEnabled(const char* name, bool enabled) {
  if (QAction* action = Action(name)) action->setEnabled(enabled);
}

QRect MainWindow::DisplayRect() const {
  if (view_ == nullptr) return {};
  return QRect(view_->mapTo(this, QPoint(0, 0)), view_->size());
}

void MainWindow::SetKeyActions(bool enabled) {
  for (PanelKey key : AllPanelKeys()) {
    if (QAction* action = KeyAction(key)) action->setEnabled(enabled);
  }
}

void MainWindow::EnableKeyActions() { SetKeyActions(true); }

void MainWindow::DisableKeyActions() { SetKeyActions(false); }

// ---- connection -----------------------------------------------------------

void MainWindow::Connect() {
  if (closing_ || session_->Connecting() || session_->OnLine()) return;
  // Shown before the worker starts: the worker reads it as the operator's wish.
  progress_->move(x() + 8, y() + 50);
  progress_->show();
  SetEnabled(act::kOpen, false);
  SetEnabled(act::kConfigureConnection, false);
  if (!session_->Connect()) progress_->hide();
}

void MainWindow::Disconnect() { session_->Disconnect(); }

bool MainWindow::ConnectStillWanted() const { return progress_->ShownForWorker(); }

void MainWindow::ShowConnectProgress(ConnectStep step) {
  if (step == ConnectStep::kAttempted) {
    progress_->Advance(kProgressStep);
  } else {
    progress_->ResetProgress();
    progress_->hide();
  }
}

void MainWindow::ShowOnLine(bool onLine) {
  if (onLine) {
    SetEnabled(act::kOpen, false);
    SetEnabled(act::kConfigureConnection, false);
    SetEnabled(act::kSave, false);
    SetEnabled(act::kClose, true);
    EnableKeyActions();
    if (QAction* freeze = Action(act::kFreeze)) freeze->setChecked(false);
    // Freeze acts on the running poll worker, so it is offered only on-line.
    SetEnabled(act::kFreeze, true);
    SetBackground(profile_.onLineBackground);
  } else {
    DisableKeyActions();
    SetEnabled(act::kLoadUpdate, false);
    if (QAction* freeze = Action(act::kFreeze)) freeze->setChecked(false);
    SetEnabled(act::kFreeze, false);
    SetEnabled(act::kSave, false);
    SetEnabled(act::kClose, false);
    SetEnabled(act::kOpen, true);
    SetEnabled(act::kConfigureConnection, true);
    SetBackground(kOffLineBackground);
  }
  RefreshWindowState();
}

void MainWindow::ShowDisplay() {
  RefreshWindowState();
  emit FrameShown();
}

void MainWindow::ShowLamps(std::uint8_t lamps) {
  // Every decoded frame reports its lamps; the keypads redraw only a change.
  if (shownLamps_ == lamps) return;
  shownLamps_ = lamps;
  emit LampsChanged(lamps);
}

void MainWindow::OfferUpdate(bool offered) { loadUpdate_->setEnabled(offered); }

void MainWindow::PollingRestarted() {
  // The new worker runs: a Freeze mark left from the old one would call the
  // live display a still image and offer to save it.
  if (QAction* freeze = Action(act::kFreeze)) freeze->setChecked(false);
  RefreshWindowState();
}

void MainWindow::ShowLineLost(bool /*lost*/) { RefreshWindowState(); }

void MainWindow::ReportConnectFailure(const std::string& text) {
  if (closing_) return;
  dialogs_->ErrorBox(text);
  if (profile_.link == LinkKind::kSerial && postAutoConfig_) postAutoConfig_();
}

void MainWindow::ReportLinkFailure(const std::string& text) {
  if (closing_) return;
  dialogs_->ErrorBox(text);
}

// ---- firmware update ---------------------------------------------------------

void MainWindow::LoadUpdate() {
  QAction* action = Action(act::kLoadUpdate);
  if (closing_ || action == nullptr || !action->isEnabled()) return;
  if (profile_.link == LinkKind::kSerial && Settings().baudIndex != kUpdateBaudIndex) {
    Disconnect();
    dialogs_->ErrorBox(kUpdateBaudText);
    ConfigureConnection();
    return;
  }
  SendKey(kArmLoaderCode);
  FileDialogOptions options;
  options.title = "Open Package file";
  options.filter = profile_.link == LinkKind::kSerial ? "Package file (.PK3) (*.PK3)"
                                                      : "Package file (.pk3) (*.pk3)";
  const auto path = dialogs_->OpenFile(options);
  if (!path) {
    SendKey(kCancelCode);
    return;
  }
  try {
    session_->StartUpdate(*path);
  } catch (const FT_Exception& e) {
    // The update did not start; polling stays stopped until a new connection
    // or ON starts it again.
    dialogs_->ErrorBox(e.what());
  }
}

void MainWindow::ShowUpdating(bool updating, bool keysUsable) {
  const bool serial = profile_.link == LinkKind::kSerial;
  for (const char* name : {act::kExit, act::kKeypad}) SetEnabled(name, !updating);
  if (serial) SetEnabled(act::kJKeypad, !updating);
  if (updating) {
    SetEnabled(act::kLoadUpdate, false);
    SetEnabled(act::kClose, false);
    DisableKeyActions();
    return;
  }
  if (!OnLine()) return;  // the link went down meanwhile: off-line rules hold
  SetEnabled(act::kLoadUpdate, true);
  SetEnabled(act::kClose, true);
  if (keysUsable) EnableKeyActions();
}

void MainWindow::ReportUpdateFailure(const std::string& text) { dialogs_->ErrorBox(text); }

// ---- drawing ----------------------------------------------------------------

void MainWindow::ResetDisplay(Rgb background) {
  session_->ResetDisplay(background);
  SetBackground(background);
  RepaintDisplayChanges();
}

void MainWindow::RepaintDisplayChanges() {
  if (view_ != nullptr) view_->ShowChanges();
}

void MainWindow::SetBackground(Rgb background) {
  QPalette palette = view_->palette();
  const QColor colour = ToQColor(background);
  if (palette.color(QPalette::Window) != colour) {
    palette.setColor(QPalette::Window, colour);
    view_->setPalette(palette);
    // Only the client area behind the display follows its colour; the menu
    // bar and the status bar keep the system's.
    centralWidget()->setPalette(palette);
  }
}

void MainWindow::RefreshWindowState() {
  RepaintDisplayChanges();
  if (view_ != nullptr) {
    // Screen readers hear of a change only: this runs for every frame.
    const DisplayImage* image = session_ != nullptr ? session_->Image() : nullptr;
    view_->ShowText(image != nullptr ? ReadDisplay(image->CellsShown()) : DisplayText{},
                    LampLit(Lamp::kAlarm, shownLamps_.value_or(0)));
  }
  UpdateStatusBar();
  TrackPreset();
}

bool MainWindow::event(QEvent* event) {
  // A menu entry under the mouse would replace the panels with its caption;
  // the panels stay.
  if (event->type() == QEvent::StatusTip) return true;
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::Paint && !closing_) {
    // Whatever got the window painted (an expose, the window manager framing
    // it, a move between screens), the panels and the preset follow. The
    // display's own frames repaint only the display, not this window.
    UpdateStatusBar();
    if (!trackPosted_) {
      // A resize from inside a paint would be painted over; it waits for the
      // event loop.
      trackPosted_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            trackPosted_ = false;
            if (!closing_) TrackPreset();
          },
          Qt::QueuedConnection);
    }
  }
  return handled;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  RefreshWindowState();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (session_->Updating()) {
    // A half-written loader is worse than a window that stays open; every
    // update ends by itself in bounded time.
    event->ignore();
    return;
  }
  if (session_->Stopping()) {
    // Closing now would tear the session down under the wait that is stopping
    // a worker; the close is honoured as soon as that stop is over.
    event->ignore();
    session_->WhenIdle([this] { close(); });
    return;
  }
  if (!session_->ShutDown()) SaveSettings();
  closing_ = true;
  progress_->hide();  // a connection sequence still trying gives up
  session_->Shutdown();
  view_->Detach();
  event->accept();
}

}  // namespace amppanel
