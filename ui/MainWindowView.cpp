// The main window's shell: settings at start and close, size presets, Home
// and Park, the View, Help and context menus.
#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <vector>

#include "platform/Placement.h"
#include "ui/AboutBox.h"
#include "ui/ActionNames.h"
#include "ui/ActionTable.h"
#include "ui/BasicKeypadWindow.h"
#include "ui/FullKeypadWindow.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindow.h"

namespace amppanel {
namespace {

constexpr int kMinimumWidth = 263;
constexpr int kMinimumHeight = 146;

std::string PresetName(const char* stem, int n) { return stem + std::to_string(n); }

}  // namespace

void MainWindow::CreateViewActions() {
  for (const ActionSpec& row : ViewActions()) MakeAction(row);
  connect(Action(act::kHome), &QAction::triggered, this, [this] { PlaceHome(); });
  connect(Action(act::kPark), &QAction::triggered, this, [this] { PlacePark(); });
  for (int n = 1; n <= kPresetCount; ++n) {
    QAction* preset = Action(PresetName(act::kPresetStem, n));
    // The mark follows PresetItem only: a click on the checked entry must not
    // take it away.
    connect(preset, &QAction::triggered, this, [this, n] { RecallPreset(n); });
    connect(Action(PresetName(act::kDefPresetStem, n)), &QAction::triggered, this,
            [this, n] { RestoreDefaultPreset(n); });
  }
  Action("actPreset1")->setChecked(true);
  auto* about = new QAction(QStringLiteral("&About..."), this);
  about->setObjectName(act::kAbout);
  actions_[act::kAbout] = about;
  connect(about, &QAction::triggered, this, [this] { ShowAboutBox(); });
}

void MainWindow::CreateViewMenus() {
  viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
  viewMenu_->setObjectName("View1");
  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName("ContextMenu");
  for (QMenu* menu : {viewMenu_, popupMenu_}) {
    menu->addAction(Action(act::kHome));
    menu->addAction(Action(act::kPark));
    menu->addSeparator();
    // The keypad switches belong to the keypad windows; they appear here once
    // those windows exist.
    for (const char* name : {act::kJKeypad, act::kKeypad}) {
      if (QAction* action = Action(name)) menu->addAction(action);
    }
    menu->addSeparator();
  }
  auto* radio = new QActionGroup(popupMenu_);
  radio->setExclusive(true);
  for (int n = 1; n <= kPresetCount; ++n) {
    QAction* preset = Action(PresetName(act::kPresetStem, n));
    viewMenu_->addAction(preset);
    // The context menu shows the presets as radio items: entries of their own
    // that run the same actions and mirror their marks.
    auto* item = new QAction(preset->text(), radio);
    item->setObjectName(QString::fromStdString(PresetName("PopupPreset", n)));
    item->setCheckable(true);
    item->setShortcut(preset->shortcut());
    item->setShortcutVisibleInContextMenu(true);
    item->setChecked(preset->isChecked());
    popupMenu_->addAction(item);
    popupPresets_[n] = item;
    connect(item, &QAction::triggered, preset, &QAction::trigger);
  }
  helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
  helpMenu_->setObjectName("Help1");
  helpMenu_->addAction(Action(act::kAbout));
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  popupMenu_->popup(event->globalPos());
  event->accept();
}

void MainWindow::ApplyLoadedSettings() {
  LoadSettings(*store_, profile_, panel_);
  Settings().comPort = panel_.comPort;
  Settings().baudIndex = panel_.baudIndex;
  Settings().usbIdString = panel_.usbIdString;
  Settings().usbIdEnabled = panel_.usbIdEnabled;
  move(panel_.left, panel_.top);
  // The stored window size is never used: the window always opens at its
  // active preset's size.
  const auto& size = panel_.presetSize[static_cast<std::size_t>(panel_.presetItem - 1)];
  SetOuterSize(size.height, size.width);
  SelectPreset(panel_.presetItem);
}

void MainWindow::KeepWindowsOnScreen() {
  std::vector<ScreenRect> screens;
  const auto add = [&screens](const QScreen* screen) {
    const QRect r = screen->availableGeometry();
    screens.push_back({r.left(), r.top(), r.width(), r.height()});
  };
  if (const QScreen* primary = QGuiApplication::primaryScreen()) add(primary);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != QGuiApplication::primaryScreen()) add(screen);
  }
  for (QWidget* window : {static_cast<QWidget*>(this), static_cast<QWidget*>(fullKeypad_),
                          static_cast<QWidget*>(basicKeypad_)}) {
    const QRect frame = window->frameGeometry();
    const ScreenRect placed =
        KeepOnScreen({frame.left(), frame.top(), frame.width(), frame.height()}, screens);
    if (placed.width != frame.width() || placed.height != frame.height()) {
      // The outer size is cut to the screen; the frame around the client stays.
      window->resize(window->size() - frame.size() + QSize(placed.width, placed.height));
    }
    if (placed.left != frame.left() || placed.top != frame.top()) {
      window->move(placed.left, placed.top);
    }
  }
}

void MainWindow::SaveSettings() {
  PanelSettings now = panel_;
  const QRect frame = OuterGeometry();
  now.top = frame.top();
  now.left = frame.left();
  const QSize outer = OuterSize();
  now.height = outer.height();
  now.width = outer.width();
  // The keypads are where they are now, whatever was loaded at start.
  now.keyTop = fullKeypad_->pos().y();
  now.keyLeft = fullKeypad_->pos().x();
  now.jKeyTop = basicKeypad_->pos().y();
  now.jKeyLeft = basicKeypad_->pos().x();
  now.keypadVisible = Action(act::kKeypad)->isChecked();
  now.jKeypadVisible = Action(act::kJKeypad)->isChecked();
  now.comPort = Settings().comPort;
  now.baudIndex = Settings().baudIndex;
  now.usbIdString = Settings().usbIdString;
  now.usbIdEnabled = Settings().usbIdEnabled;
  amppanel::SaveSettings(*store_, profile_, now);
  store_->Flush();
}

void MainWindow::SetConnectionDialog(std::unique_ptr<ConnectionDialog> dialog) {
  connectionDialog_ = std::move(dialog);
}

void MainWindow::ConfigureConnection() {
  emit ConfigureConnectionRequested();
  // A disabled action does nothing: the link is open or being opened.
  QAction* action = Action(act::kConfigureConnection);
  if (connectionDialog_ == nullptr || closing_ || (action != nullptr && !action->isEnabled())) {
    return;
  }
  if (connectionDialog_->Edit(Settings())) RefreshWindowState();
}

// ---- presets ----------------------------------------------------------------

QSize MainWindow::FrameExtra() const {
  // Zero until a window manager has framed the shown window.
  return frameGeometry().size() - geometry().size();
}

QRect MainWindow::OuterGeometry() const {
  // A window manager may take the frame off a maximised window without the
  // toolkit noticing (openbox drops the borders and the toolkit keeps the
  // normal frame's margins): the window would be recorded 2 x 6 pixels larger
  // than the screen, at -1, -1. A maximised window fills its screen's work
  // area, a full-screen one the whole screen.
  if (const QScreen* on = screen(); on != nullptr) {
    if (isFullScreen()) return on->geometry();
    if (isMaximized()) return on->availableGeometry();
  }
  return QRect(frameGeometry().topLeft(), size() + FrameExtra());
}

QSize MainWindow::OuterSize() const { return OuterGeometry().size(); }

void MainWindow::SetOuterSize(int height, int width) {
  const QSize extra = FrameExtra();
  appliedExtra_ = extra;
  setMinimumSize(std::max(kMinimumWidth - extra.width(), 1),
                 std::max(kMinimumHeight - extra.height(), 1));
  // The resize event that follows stores the size the window really took
  // (after the minimum) into whichever preset is active by then.
  resize(std::max(width, kMinimumWidth) - extra.width(),
         std::max(height, kMinimumHeight) - extra.height());
}

void MainWindow::TrackPreset() {
  if (recallingPreset_ || isMinimized() || panel_.presetItem < 1 ||
      panel_.presetItem > kPresetCount)
    return;
  const QSize extra = FrameExtra();
  if (extra != appliedExtra_) {
    // Framed (or re-framed) since the size was set: keep the outer size the
    // window was given, which is what the preset holds.
    const QSize outer = size() + appliedExtra_;
    appliedExtra_ = extra;
    setMinimumSize(std::max(kMinimumWidth - extra.width(), 1),
                   std::max(kMinimumHeight - extra.height(), 1));
    if (!isMaximized() && !isFullScreen()) resize(outer - extra);
  }
  const QSize outer = OuterSize();
  panel_.presetSize[static_cast<std::size_t>(panel_.presetItem - 1)] = {outer.height(),
                                                                        outer.width()};
}

void MainWindow::SelectPreset(int n) {
  if (n < 1 || n > kPresetCount) return;
  for (int i = 1; i <= kPresetCount; ++i) {
    Action(PresetName(act::kPresetStem, i))->setChecked(i == n);
    if (auto it = popupPresets_.find(i); it != popupPresets_.end()) it->second->setChecked(i == n);
  }
  panel_.presetItem = n;
}

void MainWindow::RecallPreset(int n) {
  if (n < 1 || n > kPresetCount) return;
  const auto size = panel_.presetSize[static_cast<std::size_t>(n - 1)];
  // The new size belongs to preset n, whether the window system resizes at
  // once or later: nothing is tracked until n is the active preset.
  recallingPreset_ = true;
  SetOuterSize(size.height, size.width);
  recallingPreset_ = false;
  SelectPreset(n);
  TrackPreset();
}

void MainWindow::RestoreDefaultPreset(int n) {
  if (n < 1 || n > kPresetCount) return;
  const auto size = kDefaultPresetSize[static_cast<std::size_t>(n - 1)];
  SetOuterSize(size.height, size.width);
}

// ---- Home, Park, about box --------------------------------------------------

void MainWindow::PlaceKeypads() {
  const QRect main = frameGeometry();
  const QPoint below(main.left(), main.top() + main.height());
  for (QWidget* keypad : KeypadWindows()) {
    keypad->move(below);
    if (keypad->isVisible()) keypad->raise();
  }
  progress_->move(main.left() + 8, main.top() + 50);
  if (progress_->isVisible()) progress_->raise();
}

void MainWindow::PlaceHome() {
  move(0, 0);
  PlaceKeypads();
}

void MainWindow::PlacePark() { PlaceKeypads(); }

void MainWindow::ShowAboutBox() {
  // Centred on the screen, not over the window.
  aboutBox_->adjustSize();
  if (const QScreen* screen = this->screen()) {
    aboutBox_->move(screen->availableGeometry().center() - aboutBox_->rect().center());
  }
  aboutBox_->exec();
}

void MainWindow::BringToFront() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

}  // namespace amppanel
