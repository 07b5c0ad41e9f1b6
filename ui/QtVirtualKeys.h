// The one place where Qt's key events become the Windows virtual keys and
// typed characters that the keyboard maps speak of.
#pragma once

#include <Qt>
#include <cstdint>

class QKeyEvent;

namespace amppanel {

struct KeyInput {
  std::uint16_t vk = 0;  // 0: a key no keyboard map names
  bool ctrl = false;
  bool alt = false;
  // The character typed, as the maps know it (ASCII). None with Ctrl: there a
  // control character is typed, which no map names.
  char typed = 0;
};

std::uint16_t VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
KeyInput ToKeyInput(const QKeyEvent& event);

}  // namespace amppanel
