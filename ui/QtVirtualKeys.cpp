#include "ui/QtVirtualKeys.h"

#include <QKeyEvent>

#include "keys/Keys.h"

namespace amppanel {

std::uint16_t VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    return static_cast<std::uint16_t>(0x41 + (qtKey - Qt::Key_A));
  }
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return static_cast<std::uint16_t>((keypad ? 0x60 : 0x30) + (qtKey - Qt::Key_0));
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    return static_cast<std::uint16_t>(0x70 + (qtKey - Qt::Key_F1));
  }
  switch (qtKey) {
    // Qt names the character, Windows the key: "+" is the =/+ key unless it
    // came from the numeric pad, and likewise for "-".
    case Qt::Key_Plus:
      return keypad ? vk::kAdd : vk::kOemPlus;
    case Qt::Key_Equal:
      return vk::kOemPlus;
    case Qt::Key_Minus:
      return keypad ? vk::kSubtract : vk::kOemMinus;
    case Qt::Key_Underscore:
      return vk::kOemMinus;
    case Qt::Key_Asterisk:
      return keypad ? 0x6A : 0;
    case Qt::Key_Slash:
      return keypad ? 0x6F : 0xBF;
    case Qt::Key_Period:
      return keypad ? 0x6E : 0xBE;
    case Qt::Key_Comma:
      return 0xBC;
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Tab:
      return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    case Qt::Key_Shift:
      return 0x10;
    case Qt::Key_Control:
      return 0x11;
    case Qt::Key_Alt:
      return 0x12;
    case Qt::Key_Escape:
      return 0x1B;
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_PageUp:
      return 0x21;
    case Qt::Key_PageDown:
      return 0x22;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return 0x2E;
    default:
      return 0;
  }
}

KeyInput ToKeyInput(const QKeyEvent& event) {
  KeyInput in;
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  in.vk = VirtualKey(event.key(), modifiers);
  in.ctrl = modifiers.testFlag(Qt::ControlModifier);
  in.alt = modifiers.testFlag(Qt::AltModifier);
  const QString text = event.text();
  if (!in.ctrl && text.size() == 1) {
    const char16_t c = text.front().unicode();
    if (c >= 0x20 && c < 0x7F) in.typed = static_cast<char>(c);
  }
  return in;
}

}  // namespace amppanel
