// The basic keypad: the eight keys used most and four caption-less lamp
// strips. It holds nothing itself; its INPUT and TUNE still combine with the
// holds of the full keypad.
#pragma once

#include <array>

#include "core/BuildProfile.h"
#include "ui/KeypadWindow.h"

class QLabel;

namespace amppanel {

class BasicKeypadWindow final : public KeypadWindow {
  Q_OBJECT

 public:
  BasicKeypadWindow(const BuildProfile& profile, const KeyActionSet& actions, QWidget* owner);

  void SetLamps(std::uint8_t lamps) override;
  // stON, stOP, stTUNE and stALARM; null for the lamps this window lacks.
  QLabel* Strip(Lamp lamp) const { return strips_[static_cast<std::size_t>(lamp)]; }

 private:
  std::array<QLabel*, kLampCount> strips_{};
};

}  // namespace amppanel
