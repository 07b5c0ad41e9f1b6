#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QMenuBar>
#include <QStatusBar>

#include "display/Renderer.h"
#include "protocol/ConnectLink.h"
#include "protocol/Frames.h"
#include "protocol/PollStep.h"
#include "ui/AboutBox.h"
#include "ui/ActionTable.h"
#include "ui/DisplayView.h"
#include "ui/ProgressWindow.h"
#include "ui/QtDialogs.h"
#include "ui/QtUiThread.h"

namespace amppanel {
namespace {

constexpr int kPanelThickness = 2;
constexpr int kStatusBarHeight = 19;
constexpr int kProgressStep = 3;

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
      link_(std::move(link)),
      clock_(clock),
      ui_(std::make_unique<QtUiThread>()),
      dialogs_(std::make_unique<QtDialogs>(
          this, QString::fromUtf8(profile.programName.data(), profile.programName.size()))),
      store_(store ? std::move(store) : std::make_unique<MemorySettingsStore>()) {
  setObjectName("TForm1");
  setWindowTitle(QString::fromUtf8(profile_.caption.data(), profile_.caption.size()));
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

  onLine_ = false;
  image_ = std::make_unique<DisplayImage>();
  view_->Attach(image_->Data(), DisplayImage::kWidth, DisplayImage::kHeight,
                DisplayImage::kBytesPerLine);
  ResetDisplay(kOffLineBackground);
  DisableKeyActions();
  poll_.FrameReady = false;
  poll_.LinkFailed = false;
  poll_.SyncLost = false;
  ConnectKeypads();
}

MainWindow::~MainWindow() {
  EndWorkers();
  if (view_ != nullptr) view_->Detach();
}

void MainWindow::EndWorkers() {
  closing_ = true;
  progress_->hide();  // a connection sequence still trying gives up
  StopPolling();
  workers_.WaitForAll();
}

void MainWindow::SetDialogs(std::unique_ptr<Dialogs> dialogs) { dialogs_ = std::move(dialogs); }

QAction* MainWindow::MakeAction(const ActionSpec& row) {
  auto* action = new QAction(QString::fromUtf8(row.caption.data(), row.caption.size()), this);
  action->setObjectName(QString::fromUtf8(row.name.data(), row.name.size()));
  if (!row.shortcut.empty()) {
    action->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut.data(), row.shortcut.size())));
  }
  action->setToolTip(QString::fromUtf8(row.hint.data(), row.hint.size()));
  action->setStatusTip(action->toolTip());
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
  MakeAction({"actFreeze", "&Freeze display", "Ctrl+F", "", "FileGroup", true});
  MakeAction({"actSave", "&Save STLL IMAGE", "Ctrl+V", "", "FileGroup"});

  connect(Action("actOpen"), &QAction::triggered, this, [this] { Connect(); });
  connect(Action("actClose"), &QAction::triggered, this, [this] { Disconnect(); });
  connect(Action("actExit"), &QAction::triggered, this, [this] { close(); });
  connect(Action("actFreeze"), &QAction::triggered, this, [this] { ToggleFreeze(); });
  connect(Action("actSave"), &QAction::triggered, this, [this] { SaveStillImageAs(); });

  SetEnabled("actClose", false);
  SetEnabled("actLoadUpdate", false);
  SetEnabled("actFreeze", false);
  SetEnabled("actSave", false);
}

void MainWindow::CreateMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
  fileMenu_->addAction(Action("actOpen"));
  fileMenu_->addAction(Action("actClose"));
  fileMenu_->addAction(Action("actConfigureConnection"));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action("actLoadUpdate"));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action("actExit"));
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

void MainWindow::SendKey(std::uint8_t code) {
  if (!link_->IsOpen()) return;
  (void)link_->Write(KeyFrame(profile_, code));
}

// ---- connection -----------------------------------------------------------

void MainWindow::Connect() {
  if (closing_) return;
  progress_->move(x() + 8, y() + 50);
  progress_->show();
  SetEnabled("actOpen", false);
  SetEnabled("actConfigureConnection", false);
  ProgressWindow* waitForm = progress_;
  ConnectContext context{
      .link = *link_,
      .profile = profile_,
      .settings = settings_,
      .progressVisible = [waitForm] { return waitForm->ShownForWorker(); },
      .reportLinkFailure = [this](const FT_Exception& e) { ReportLinkFailure(e); },
  };
  workers_.Start<OneShotWorker>(
      *ui_, clock_, [context](OneShotWorker& t) { ConnectLink(t, context); },
      [this](OneShotWorker& t) { OnConnectStatus(t); });
}

void MainWindow::OnConnectStatus(OneShotWorker& thread) {
  const std::string text = thread.StatusText();
  if (text == "RUN") {
    progress_->Advance(kProgressStep);
  } else if (text == "HALT") {
    progress_->ResetProgress();
    progress_->hide();
  } else if (text == "DONE") {
    if (closing_) return;  // the window is going away; it closes the link itself
    ResetDisplay(profile_.onLineBackground);
    SetEnabled("actOpen", false);
    SetEnabled("actConfigureConnection", false);
    SetEnabled("actSave", false);
    SetEnabled("actClose", true);
    EnableKeyActions();
    if (QAction* freeze = Action("actFreeze")) freeze->setChecked(false);
    // Freeze acts on the running poll worker, so it is offered only on-line.
    SetEnabled("actFreeze", true);
    onLine_ = true;
    if (profile_.connectKeyWait.count() > 0) clock_.SleepFor(profile_.connectKeyWait);
    SendKey(kConnectKeyCode);
    if (profile_.connectKeyWait.count() > 0) clock_.SleepFor(profile_.connectKeyWait);
    StartPolling();
  } else if (text == "EXCEPT") {
    ResetDisplay(kOffLineBackground);
    onLine_ = false;
    SetEnabled("actOpen", true);
    SetEnabled("actConfigureConnection", true);
  }
}

void MainWindow::ReportLinkFailure(const FT_Exception& failure) {
  const std::string text = failure.what();
  // Called on the connect worker: the box is shown by the UI thread while the
  // worker waits for it.
  ui_->Synchronize([this, &text] {
    if (closing_) return;
    dialogs_->ErrorBox(text);
    if (profile_.link == LinkKind::kSerial && postAutoConfig_) postAutoConfig_();
  });
}

void MainWindow::Disconnect() {
  StopPolling();
  link_->Close();
  DisableKeyActions();
  emit LampsChanged(0);
  SetEnabled("actLoadUpdate", false);
  SetEnabled("actFreeze", false);
  SetEnabled("actClose", false);
  SetEnabled("actOpen", true);
  SetEnabled("actConfigureConnection", true);
  onLine_ = false;
  ResetDisplay(kOffLineBackground);
}

// ---- polling ----------------------------------------------------------------

void MainWindow::StartPolling() {
  if (closing_ || pollThread_) return;
  pollThread_ = workers_.Start<PollWorker>(
      *ui_, clock_, kPollPause,
      [this](PollWorker& t) { PollOnce(*link_, profile_, poll_, t.LinkErrorText); },
      [this](PollWorker&) { DecodeDisplay(); }, [this](PollWorker&) { CheckPollStatus(); });
}

void MainWindow::StopPolling() {
  if (!pollThread_) return;
  // A frozen worker must be released before it can see the request.
  if (pollThread_->Suspended()) pollThread_->Resume();
  pollThread_->Terminate();
  pollThread_->WaitFor();
  pollThread_.reset();
  workers_.Reap();
}

void MainWindow::DecodeDisplay() {
  if (!image_) return;
  const DecodeResult result = amppanel::DecodeDisplay(poll_, *image_);
  if (!result.drawn) return;
  emit LampsChanged(result.lamps);
  SetEnabled("actLoadUpdate", result.offerUpdate);
  RefreshWindowState();
}

void MainWindow::CheckPollStatus() {
  if (poll_.SyncLost) {
    poll_.SyncLost = false;
    if (image_) image_->ClearDisplay();
    RefreshWindowState();
    emit LampsChanged(0);
    SetEnabled("actLoadUpdate", false);
  }
  if (poll_.LinkFailed) {
    poll_.LinkFailed = false;
    std::string text;
    if (pollThread_) {
      text = pollThread_->LinkErrorText;
      // This runs inside the worker's own cycle: ask it to end, never wait.
      pollThread_->Terminate();
      pollThread_.reset();
    }
    link_->AfterFailure();
    Disconnect();
    dialogs_->ErrorBox(text);
  }
}

// ---- drawing ----------------------------------------------------------------

void MainWindow::ResetDisplay(Rgb background) {
  if (!image_) return;
  image_->ResetDisplay(background);
  QPalette palette = view_->palette();
  const QColor colour = ToQColor(background);
  if (palette.color(QPalette::Window) != colour) {
    palette.setColor(QPalette::Window, colour);
    view_->setPalette(palette);
    setPalette(palette);
  }
  RefreshWindowState();
}

void MainWindow::RefreshWindowState() {
  if (view_ != nullptr) view_->update();
  UpdateStatusBar();
  TrackPreset();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  RefreshWindowState();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (image_) SaveSettings();
  EndWorkers();
  link_->Close();
  view_->Detach();
  image_.reset();
  event->accept();
}

}  // namespace amppanel
