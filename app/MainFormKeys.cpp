// The main window's side of the remote keys: the key actions, ON and OFF, the
// keyboard, and the two keypad windows it owns.
#include <QAction>
#include <QKeyEvent>

#include "app/ActionTable.h"
#include "app/Keyboard.h"
#include "app/MainForm.h"
#include "app/OpKeypad.h"
#include "app/QtVirtualKeys.h"

namespace amppanel {
namespace {

constexpr char kOffQuestion[] = "Do you wish to switch the KALDOR linear off?";

void Execute(QAction* action) {
  if (action != nullptr && action->isEnabled()) action->trigger();
}

}  // namespace

QAction* TForm1::KeyAction(PanelKey key) const { return Action(std::string(ActionName(key))); }

void TForm1::CreateKeyActions() {
  for (const ActionSpec& row : KeyActions(profile_)) MakeAction(row);
  for (PanelKey key : AllPanelKeys()) {
    connect(KeyAction(key), &QAction::triggered, this, [this, key] { KeyActionExecute(key); });
  }
  connect(Action("actKeypad"), &QAction::triggered, this, [this] { actKeypadExecute(); });
  connect(Action("actJKeypad"), &QAction::triggered, this, [this] { actJKeypadExecute(); });
  connect(Action("actRecallKeypad"), &QAction::triggered, this, [this] { BringKeypadToFront(); });
  Action("actKeypad")->setChecked(true);
  Action("actJKeypad")->setChecked(false);
}

KeyActionSet TForm1::KeyActionsByKey() const {
  KeyActionSet actions{};
  for (PanelKey key : AllPanelKeys()) actions[Index(key)] = KeyAction(key);
  return actions;
}

void TForm1::CreateKeyForm() {
  keyForm_ = new TKeyForm(profile_, KeyActionsByKey(), this);
  keyForm_->move(panel_.keyLeft, panel_.keyTop);
  Action("actKeypad")->setChecked(panel_.keypadVisible);
  keyForm_->setVisible(panel_.keypadVisible);
}

void TForm1::CreateJKeypad() {
  jKeypad_ = new TJKeypad(profile_, KeyActionsByKey(), this);
  // The USB program keeps one place for both keypads.
  if (profile_.link == LinkKind::kSerial) {
    jKeypad_->move(panel_.jKeyLeft, panel_.jKeyTop);
  } else {
    jKeypad_->move(panel_.keyLeft, panel_.keyTop);
  }
  Action("actJKeypad")->setChecked(panel_.jKeypadVisible);
  jKeypad_->setVisible(panel_.jKeypadVisible);
}

void TForm1::ConnectKeypads() {
  // Home and Park stack them in this order: the basic keypad ends on top.
  keypadWindows_.push_back(keyForm_);
  keypadWindows_.push_back(jKeypad_);
  connect(this, &TForm1::LampsChanged, keyForm_, &TKeyForm::SetLamps);
  connect(this, &TForm1::LampsChanged, jKeypad_, &TJKeypad::SetLamps);
  connect(keyForm_, &KeypadWindow::Closed, this, [this] { KeyFormClosed(); });
  connect(jKeypad_, &KeypadWindow::Closed, this, [this] { JKeypadClosed(); });
  // The switches work from the keypads as from the main window.
  for (const char* name : {"actKeypad", "actJKeypad", "actRecallKeypad"}) {
    keyForm_->addAction(Action(name));
    jKeypad_->addAction(Action(name));
  }
}

// ---- key actions ------------------------------------------------------------------

void TForm1::KeyActionExecute(PanelKey key) {
  switch (key) {
    case PanelKey::kOff:
      actOffExecute();
      return;
    case PanelKey::kOn:
      actOnExecute();
      return;
    default:
      break;
  }
  // Only the full keypad's buttons hold, also while it is hidden.
  const KeyCommand command = CommandFor(key, keyForm_ != nullptr ? keyForm_->Held() : HeldKeys{});
  if (command.code) SendKey(*command.code);
  if (command.release && keyForm_ != nullptr) keyForm_->ReleaseHold(*command.release);
}

void TForm1::actOffExecute() {
  if (dialogs_->Question(kOffQuestion, false)) SendKey(kOffKeyCode);
}

void TForm1::actOnExecute() {
  if (closing_) return;
  // No poll may run while the line is up.
  StopPolling();
  workers_.Start<TFW_UpdateThread>(
      *ui_, clock_, [this](TFW_UpdateThread& t) { PulseOnLine(t); }, UpdateProc{});
}

void TForm1::PulseOnLine(TFW_UpdateThread& thread) {
  link_->LinePulse();
  thread.Sleep(kOnPulse);
  link_->LineRest();
  thread.Ui().Synchronize([this] {
    // A disconnect during the pulse has closed the link: polling it would blank
    // the off-line display (serial) or report a failure nobody caused (USB).
    if (onLine_ && !pollThread_) {
      // The new worker runs: a Freeze mark left from the old one would call the
      // live display a still image and offer to save it.
      Action("actFreeze")->setChecked(false);
      StartPolling();
    }
  });
}

// ---- keypad windows -----------------------------------------------------------------

void TForm1::actKeypadExecute() {
  if (keyForm_->isVisible()) {
    keyForm_->hide();
    Action("actKeypad")->setChecked(false);
    if (profile_.link == LinkKind::kSerial) jKeypad_->move(keyForm_->pos());
    return;
  }
  keyForm_->move(jKeypad_->pos());
  jKeypad_->hide();
  keyForm_->show();
  Action("actKeypad")->setChecked(true);
  Action("actJKeypad")->setChecked(false);
}

void TForm1::actJKeypadExecute() {
  if (jKeypad_->isVisible()) {
    jKeypad_->hide();
    Action("actJKeypad")->setChecked(false);
    if (profile_.link == LinkKind::kSerial) keyForm_->move(jKeypad_->pos());
    return;
  }
  jKeypad_->move(keyForm_->pos());
  keyForm_->hide();
  jKeypad_->show();
  Action("actJKeypad")->setChecked(true);
  Action("actKeypad")->setChecked(false);
}

void TForm1::KeyFormClosed() {
  // The close itself hides the window; the serial program also puts the
  // basic keypad where this one was.
  if (profile_.link == LinkKind::kSerial) jKeypad_->move(keyForm_->pos());
  Action("actKeypad")->setChecked(false);
}

void TForm1::JKeypadClosed() {
  if (profile_.link == LinkKind::kSerial) keyForm_->move(jKeypad_->pos());
  Action("actJKeypad")->setChecked(false);
}

void TForm1::BringKeypadToFront() {
  if (keyForm_->isVisible()) {
    keyForm_->raise();
  } else if (jKeypad_->isVisible()) {
    jKeypad_->raise();
  }
}

// ---- keyboard ---------------------------------------------------------------------------

void TForm1::FormKeyDown(std::uint16_t key, bool ctrl) {
  if (key == vk::kK) {
    BringKeypadToFront();
    return;
  }
  if (key == vk::kF) offKeyDown_ = true;
  keyForm_->FormKeyDown(key, ctrl);
  jKeypad_->FormKeyDown(key, ctrl);
}

void TForm1::FormKeyUp(std::uint16_t key, bool ctrl) {
  if (key == vk::kF) {
    const bool pressedHere = offKeyDown_;
    offKeyDown_ = false;
    if (pressedHere && onLine_ && Action("actOff")->isEnabled()) actOffExecute();
    return;
  }
  keyForm_->FormKeyUp(key, ctrl);
  jKeypad_->FormKeyUp(key, ctrl);
}

void TForm1::FormKeyPress(char typed) {
  if (const auto key = CharacterKey(typed)) Execute(KeyAction(*key));
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  const KeyInput in = ToKeyInput(*event);
  // A repeated press acts as one more press: one more frame per repeat.
  FormKeyDown(in.vk, in.ctrl);
  // With Alt the letter belongs to the menu bar.
  if (in.typed != 0 && !in.alt) FormKeyPress(in.typed);
  QMainWindow::keyPressEvent(event);
}

void TForm1::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat()) {
    const KeyInput in = ToKeyInput(*event);
    FormKeyUp(in.vk, in.ctrl);
  }
  QMainWindow::keyReleaseEvent(event);
}

}  // namespace amppanel
