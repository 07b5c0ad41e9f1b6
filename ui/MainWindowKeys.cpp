// The main window's side of the remote keys: the key actions, ON and OFF, the
// keyboard, and the two keypad windows it owns.
#include <QAction>
#include <QKeyEvent>

#include "ui/ActionNames.h"
#include "ui/ActionTable.h"
#include "ui/BasicKeypadWindow.h"
#include "ui/FullKeypadWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtVirtualKeys.h"

namespace amppanel {
namespace {

constexpr char kOffQuestion[] = "Do you wish to switch the KALDOR linear off?";

void Execute(QAction* action) {
  if (action != nullptr && action->isEnabled()) action->trigger();
}

}  // namespace

QAction* MainWindow::KeyAction(PanelKey key) const { return Action(std::string(ActionName(key))); }

void MainWindow::CreateKeyActions() {
  for (const ActionSpec& row : KeyActions(profile_)) MakeAction(row);
  for (PanelKey key : AllPanelKeys()) {
    connect(KeyAction(key), &QAction::triggered, this, [this, key] { PressPanelKey(key); });
  }
  connect(Action(act::kKeypad), &QAction::triggered, this, [this] { ToggleFullKeypad(); });
  connect(Action(act::kJKeypad), &QAction::triggered, this, [this] { ToggleBasicKeypad(); });
  connect(Action(act::kRecallKeypad), &QAction::triggered, this, [this] { BringKeypadToFront(); });
  Action(act::kKeypad)->setChecked(true);
  Action(act::kJKeypad)->setChecked(false);
}

KeyActionSet MainWindow::KeyActionsByKey() const {
  KeyActionSet actions{};
  for (PanelKey key : AllPanelKeys()) actions[Index(key)] = KeyAction(key);
  return actions;
}

void MainWindow::CreateFullKeypad() {
  fullKeypad_ = new FullKeypadWindow(profile_, KeyActionsByKey(), this);
  fullKeypad_->move(panel_.keyLeft, panel_.keyTop);
  Action(act::kKeypad)->setChecked(panel_.keypadVisible);
  fullKeypad_->setVisible(panel_.keypadVisible);
}

void MainWindow::CreateBasicKeypad() {
  basicKeypad_ = new BasicKeypadWindow(profile_, KeyActionsByKey(), this);
  // The USB program keeps one place for both keypads.
  if (profile_.link == LinkKind::kSerial) {
    basicKeypad_->move(panel_.jKeyLeft, panel_.jKeyTop);
  } else {
    basicKeypad_->move(panel_.keyLeft, panel_.keyTop);
  }
  Action(act::kJKeypad)->setChecked(panel_.jKeypadVisible);
  basicKeypad_->setVisible(panel_.jKeypadVisible);
}

void MainWindow::ConnectKeypads() {
  // Home and Park stack them in this order: the basic keypad ends on top.
  keypadWindows_.push_back(fullKeypad_);
  keypadWindows_.push_back(basicKeypad_);
  connect(this, &MainWindow::LampsChanged, fullKeypad_, &FullKeypadWindow::SetLamps);
  connect(this, &MainWindow::LampsChanged, basicKeypad_, &BasicKeypadWindow::SetLamps);
  connect(fullKeypad_, &KeypadWindow::Closed, this, [this] { FullKeypadClosed(); });
  connect(basicKeypad_, &KeypadWindow::Closed, this, [this] { BasicKeypadClosed(); });
  // The switches work from the keypads as from the main window.
  for (const char* name : {act::kKeypad, act::kJKeypad, act::kRecallKeypad}) {
    fullKeypad_->addAction(Action(name));
    basicKeypad_->addAction(Action(name));
  }
}

// ---- key actions ------------------------------------------------------------------

void MainWindow::PressPanelKey(PanelKey key) {
  switch (key) {
    case PanelKey::kOff:
      PressOff();
      return;
    case PanelKey::kOn:
      PressOn();
      return;
    default:
      break;
  }
  // Only the full keypad's buttons hold, also while it is hidden.
  const KeyCommand command =
      CommandFor(key, fullKeypad_ != nullptr ? fullKeypad_->Held() : HeldKeys{});
  if (command.code) SendKey(*command.code);
  if (command.release && fullKeypad_ != nullptr) fullKeypad_->ReleaseHold(*command.release);
}

void MainWindow::PressOff() {
  if (dialogs_->Question(kOffQuestion, false)) SendKey(kOffKeyCode);
}

void MainWindow::PressOn() {
  if (closing_) return;
  session_->PulseOn();
}

// ---- keypad windows -----------------------------------------------------------------

void MainWindow::ToggleFullKeypad() {
  if (fullKeypad_->isVisible()) {
    fullKeypad_->hide();
    Action(act::kKeypad)->setChecked(false);
    if (profile_.link == LinkKind::kSerial) basicKeypad_->move(fullKeypad_->pos());
    return;
  }
  fullKeypad_->move(basicKeypad_->pos());
  basicKeypad_->hide();
  fullKeypad_->show();
  Action(act::kKeypad)->setChecked(true);
  Action(act::kJKeypad)->setChecked(false);
}

void MainWindow::ToggleBasicKeypad() {
  if (basicKeypad_->isVisible()) {
    basicKeypad_->hide();
    Action(act::kJKeypad)->setChecked(false);
    if (profile_.link == LinkKind::kSerial) fullKeypad_->move(basicKeypad_->pos());
    return;
  }
  basicKeypad_->move(fullKeypad_->pos());
  fullKeypad_->hide();
  basicKeypad_->show();
  Action(act::kJKeypad)->setChecked(true);
  Action(act::kKeypad)->setChecked(false);
}

void MainWindow::FullKeypadClosed() {
  // The close itself hides the window; the serial program also puts the
  // basic keypad where this one was.
  if (profile_.link == LinkKind::kSerial) basicKeypad_->move(fullKeypad_->pos());
  Action(act::kKeypad)->setChecked(false);
}

void MainWindow::BasicKeypadClosed() {
  if (profile_.link == LinkKind::kSerial) fullKeypad_->move(basicKeypad_->pos());
  Action(act::kJKeypad)->setChecked(false);
}

void MainWindow::BringKeypadToFront() {
  if (fullKeypad_->isVisible()) {
    fullKeypad_->raise();
  } else if (basicKeypad_->isVisible()) {
    basicKeypad_->raise();
  }
}

// ---- keyboard ---------------------------------------------------------------------------

void MainWindow::HandleKeyDown(std::uint16_t key, bool ctrl) {
  if (key == vk::kK) {
    BringKeypadToFront();
    return;
  }
  if (key == vk::kF) offKeyDown_ = true;
  fullKeypad_->HandleKeyDown(key, ctrl);
  basicKeypad_->HandleKeyDown(key, ctrl);
}

void MainWindow::HandleKeyUp(std::uint16_t key, bool ctrl) {
  if (key == vk::kF) {
    const bool pressedHere = offKeyDown_;
    offKeyDown_ = false;
    if (pressedHere && OnLine() && Action("actOff")->isEnabled()) PressOff();
    return;
  }
  fullKeypad_->HandleKeyUp(key, ctrl);
  basicKeypad_->HandleKeyUp(key, ctrl);
}

void MainWindow::HandleTypedCharacter(char typed) {
  if (const auto key = CharacterKey(typed)) Execute(KeyAction(*key));
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  const KeyInput in = ToKeyInput(*event);
  // A repeated press acts as one more press: one more frame per repeat.
  HandleKeyDown(in.vk, in.ctrl);
  // With Alt the letter belongs to the menu bar.
  if (in.typed != 0 && !in.alt) HandleTypedCharacter(in.typed);
  QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat()) {
    const KeyInput in = ToKeyInput(*event);
    HandleKeyUp(in.vk, in.ctrl);
  }
  QMainWindow::keyReleaseEvent(event);
}

}  // namespace amppanel
