#include "app/MainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QMenuBar>
#include <QStatusBar>

#include "app/ActionTable.h"
#include "app/Help.h"
#include "app/QtDialogs.h"
#include "app/QtUiThread.h"
#include "app/Wait.h"
#include "display/ConnectLink.h"
#include "display/DisplayView.h"
#include "display/Frames.h"
#include "display/PollStep.h"
#include "display/Renderer.h"

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

TForm1::TForm1(const BuildProfile& profile, std::unique_ptr<Link> link, Clock& clock,
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
      if (!closing_) actConfigureConnectionExecute();
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
  CreateKeyForm();
  waitForm_ = new TWaitForm(
      this, QString::fromUtf8(profile_.waitCaption.data(), profile_.waitCaption.size()));
  helpDlg_ = new THelpDlg(profile_, this);
  CreateJKeypad();

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

TForm1::~TForm1() {
  EndWorkers();
  if (view_ != nullptr) view_->Detach();
}

void TForm1::EndWorkers() {
  closing_ = true;
  waitForm_->hide();  // a connection sequence still trying gives up
  StopPolling();
  workers_.WaitForAll();
}

void TForm1::SetDialogs(std::unique_ptr<Dialogs> dialogs) { dialogs_ = std::move(dialogs); }

QAction* TForm1::MakeAction(const ActionSpec& row) {
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

void TForm1::CreateActions() {
  for (const ActionSpec& row : FileActions(profile_)) MakeAction(row);
  // Freeze and Save arrive with the display tools; they exist from the start so
  // that the connection code can set their state.
  MakeAction({"actFreeze", "&Freeze display", "Ctrl+F", "", "FileGroup", true});
  MakeAction({"actSave", "&Save STLL IMAGE", "Ctrl+V", "", "FileGroup"});

  connect(Action("actOpen"), &QAction::triggered, this, [this] { actOpenExecute(); });
  connect(Action("actClose"), &QAction::triggered, this, [this] { actCloseExecute(); });
  connect(Action("actExit"), &QAction::triggered, this, [this] { close(); });
  connect(Action("actFreeze"), &QAction::triggered, this, [this] { actFreezeExecute(); });
  connect(Action("actSave"), &QAction::triggered, this, [this] { actSaveExecute(); });

  SetEnabled("actClose", false);
  SetEnabled("actLoadUpdate", false);
  SetEnabled("actFreeze", false);
  SetEnabled("actSave", false);
}

void TForm1::CreateMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
  fileMenu_->addAction(Action("actOpen"));
  fileMenu_->addAction(Action("actClose"));
  fileMenu_->addAction(Action("actConfigureConnection"));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action("actLoadUpdate"));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action("actExit"));
}

void TForm1::CreateFrame() {
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

QAction* TForm1::Action(const std::string& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void TForm1::SetEnabled(const char* name, bool enabled) {
  if (QAction* action = Action(name)) action->setEnabled(enabled);
}

QRect TForm1::DisplayRect() const {
  if (view_ == nullptr) return {};
  return QRect(view_->mapTo(this, QPoint(0, 0)), view_->size());
}

void TForm1::SetKeyActions(bool enabled) {
  for (PanelKey key : AllPanelKeys()) {
    if (QAction* action = KeyAction(key)) action->setEnabled(enabled);
  }
}

void TForm1::EnableKeyActions() { SetKeyActions(true); }

void TForm1::DisableKeyActions() { SetKeyActions(false); }

void TForm1::SendKey(std::uint8_t code) {
  if (!link_->IsOpen()) return;
  (void)link_->Write(KeyFrame(profile_, code));
}

// ---- connection -----------------------------------------------------------

void TForm1::actOpenExecute() {
  if (closing_) return;
  waitForm_->move(x() + 8, y() + 50);
  waitForm_->show();
  SetEnabled("actOpen", false);
  SetEnabled("actConfigureConnection", false);
  TWaitForm* waitForm = waitForm_;
  ConnectContext context{
      .link = *link_,
      .profile = profile_,
      .settings = settings_,
      .progressVisible = [waitForm] { return waitForm->ShownForWorker(); },
      .reportLinkFailure = [this](const FT_Exception& e) { ReportLinkFailure(e); },
  };
  workers_.Start<TFW_UpdateThread>(
      *ui_, clock_, [context](TFW_UpdateThread& t) { ConnectLink(t, context); },
      [this](TFW_UpdateThread& t) { OnConnectStatus(t); });
}

void TForm1::OnConnectStatus(TFW_UpdateThread& thread) {
  const std::string text = thread.StatusText();
  if (text == "RUN") {
    waitForm_->Advance(kProgressStep);
  } else if (text == "HALT") {
    waitForm_->ResetProgress();
    waitForm_->hide();
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

void TForm1::ReportLinkFailure(const FT_Exception& failure) {
  const std::string text = failure.what();
  // Called on the connect worker: the box is shown by the UI thread while the
  // worker waits for it.
  ui_->Synchronize([this, &text] {
    if (closing_) return;
    dialogs_->ErrorBox(text);
    if (profile_.link == LinkKind::kSerial && postAutoConfig_) postAutoConfig_();
  });
}

void TForm1::actCloseExecute() {
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

void TForm1::StartPolling() {
  if (closing_ || pollThread_) return;
  pollThread_ = workers_.Start<TExecThread>(
      *ui_, clock_, kPollPause,
      [this](TExecThread& t) { tmrQueryTimer(*link_, profile_, poll_, t.LinkErrorText); },
      [this](TExecThread&) { DecodeDisplay(); }, [this](TExecThread&) { CheckPollStatus(); });
}

void TForm1::StopPolling() {
  if (!pollThread_) return;
  // A frozen worker must be released before it can see the request.
  if (pollThread_->Suspended()) pollThread_->Resume();
  pollThread_->Terminate();
  pollThread_->WaitFor();
  pollThread_.reset();
  workers_.Reap();
}

void TForm1::DecodeDisplay() {
  if (!image_) return;
  const DecodeResult result = amppanel::DecodeDisplay(poll_, *image_);
  if (!result.drawn) return;
  emit LampsChanged(result.lamps);
  SetEnabled("actLoadUpdate", result.offerUpdate);
  FormPaint();
}

void TForm1::CheckPollStatus() {
  if (poll_.SyncLost) {
    poll_.SyncLost = false;
    if (image_) image_->ClearDisplay();
    FormPaint();
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
    actCloseExecute();
    dialogs_->ErrorBox(text);
  }
}

// ---- drawing ----------------------------------------------------------------

void TForm1::ResetDisplay(Rgb background) {
  if (!image_) return;
  image_->ResetDisplay(background);
  QPalette palette = view_->palette();
  const QColor colour = ToQColor(background);
  if (palette.color(QPalette::Window) != colour) {
    palette.setColor(QPalette::Window, colour);
    view_->setPalette(palette);
    setPalette(palette);
  }
  FormPaint();
}

void TForm1::FormPaint() {
  if (view_ != nullptr) view_->update();
  UpdateStatusBar();
  TrackPreset();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormPaint();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (image_) SaveSettings();
  EndWorkers();
  link_->Close();
  view_->Detach();
  image_.reset();
  event->accept();
}

}  // namespace amppanel
