// The full keypad: the amplifier's front panel with all eighteen keys and six
// lamps. Its DISPLAY, OPERATE, POWER and CAT buttons can be held down as a
// modifier for the next key; its keyboard rules also serve the main window,
// which passes its keys on here, hidden or not.
#pragma once

#include <QWidget>
#include <array>

#include "core/BuildProfile.h"
#include "ui/KeypadWindow.h"

class QLabel;

namespace amppanel {

class FullKeypadWindow final : public KeypadWindow {
  Q_OBJECT

 public:
  FullKeypadWindow(const BuildProfile& profile, const KeyActionSet& actions, QWidget* owner);

  void SetLamps(std::uint8_t lamps) override;
  QLabel* LampLabel(Lamp lamp) const { return lamps_[static_cast<std::size_t>(lamp)]; }

  // The holdable buttons that are down; the key actions read these.
  HeldKeys Held() const { return States().Held(); }
  // Lets a held button go (the combination that used it).
  void ReleaseHold(HoldKey hold);

  // The control that last reported a mouse move: this window, one of its two
  // panels or one of the eight stepping buttons; null until the first report.
  QWidget* WheelTarget() const { return wheelTarget_; }
  QFrame* pnlLeft() const { return Panel(0); }
  QFrame* pnlRight() const { return Panel(1); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void FormMouseWheel(bool towardsUser);
  bool IsHoldable(QObject* object) const;

  std::array<QLabel*, kLampCount> lamps_{};
  QWidget* wheelTarget_ = nullptr;
  int wheelRotation_ = 0;  // eighths of a degree not yet stepped
};

}  // namespace amppanel
