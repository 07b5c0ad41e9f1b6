// What the full and the basic keypad windows share: buttons bound to the main
// window's key actions, down states kept by ButtonStates and shown on the
// buttons, the window's own keys mirrored through its keyboard map, and the
// accelerator letters that click a button.
#pragma once

#include <QIcon>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "keys/Keys.h"

class QAction;
class QFrame;

namespace amppanel {

// The main window's key actions, by key.
using KeyActionSet = std::array<QAction*, kPanelKeyCount>;

enum class ArrowImage { kNone, kLeftOfCaption, kRightOfCaption };

class KeypadButton final : public QToolButton {
  Q_OBJECT

 public:
  KeypadButton(PanelKey key, QWidget* parent);

  PanelKey Key() const { return key_; }
  // The keypad's own down state (a key held on the keyboard, or a hold). Qt's
  // down state belongs to the mouse; the button looks pressed for either.
  void SetLatched(bool latched);
  bool Latched() const { return latched_; }
  char AcceleratorLetter() const { return accelerator_; }
  void SetAcceleratorLetter(char letter) { accelerator_ = letter; }
  // The arrow image, drawn on the side it points to; it belongs to the
  // button, not to the action.
  void SetArrow(const QIcon& arrow, bool leftOfCaption);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void actionEvent(QActionEvent* event) override;

 private:
  const PanelKey key_;
  bool latched_ = false;
  char accelerator_ = 0;
  QIcon arrow_;
  bool arrowLeft_ = true;
};

struct PanelPlace {
  const char* name;
  int left, top, width, height;
};

struct ButtonPlace {
  PanelKey key;
  const char* name;
  int panel;  // index into the window's panel table
  int left, top, width, height;
  ArrowImage arrow = ArrowImage::kNone;
};

class KeypadWindow : public QWidget {
  Q_OBJECT

 public:
  // Down as the keypad keeps it: held, or its key being held on the keyboard.
  bool ButtonDown(PanelKey key) const { return states_.Down(key); }
  bool ButtonGrouped(PanelKey key) const { return states_.Grouped(key); }
  // Null where this window has no button for the key.
  KeypadButton* Button(PanelKey key) const { return buttons_[Index(key)]; }
  QFrame* Panel(int index) const { return panels_[static_cast<std::size_t>(index)]; }

  // The window's key events; the main window passes its own keys on here too.
  void HandleKeyDown(std::uint16_t key, bool ctrl);
  void HandleKeyUp(std::uint16_t key, bool ctrl);

  virtual void SetLamps(std::uint8_t lamps) = 0;

 signals:
  // The operator closed the window with its close button (it is hidden, never
  // destroyed).
  void Closed();

 protected:
  KeypadWindow(const QString& caption, QSize client, const KeyActionSet& actions,
               const KeyMap& keys, std::span<const PanelPlace> panels,
               std::span<const ButtonPlace> buttons, QWidget* owner);

  ButtonStates& States() { return states_; }
  const ButtonStates& States() const { return states_; }
  // Shows the down states on the buttons.
  void Sync();
  // Through the action's enabled state: nothing happens while off-line.
  void Execute(PanelKey key);

  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ClickAccelerator(char typed);

  const KeyActionSet actions_;
  const KeyMap& keys_;
  ButtonStates states_;
  std::vector<QFrame*> panels_;
  std::array<KeypadButton*, kPanelKeyCount> buttons_{};
  std::vector<KeypadButton*> order_;  // table order, for accelerators
};

// Qt colour of a core colour.
QColor ToColour(Rgb c);

}  // namespace amppanel
