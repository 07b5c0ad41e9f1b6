#include "ui/FullKeypadWindow.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

namespace amppanel {
namespace {

using enum PanelKey;

constexpr int kLeft = 0;
constexpr int kRight = 1;
constexpr int kButtonWidth = 56;
constexpr int kButtonHeight = 22;
constexpr int kWheelNotch = 120;

constexpr std::array<PanelPlace, 2> kPanels{{
    {"pnlLeft", 7, 11, 242, 132},
    {"pnlRight", 260, 11, 242, 132},
}};

constexpr ButtonPlace Place(PanelKey key, const char* name, int panel, int left, int top,
                            ArrowImage arrow = ArrowImage::kNone) {
  return {key, name, panel, left, top, kButtonWidth, kButtonHeight, arrow};
}

constexpr std::array<ButtonPlace, kPanelKeyCount> kButtons{{
    Place(kInput, "sb_Input", kLeft, 9, 16),
    Place(kAnt, "sb_Antenna", kLeft, 65, 16),
    Place(kLMinus, "sb_LMinus", kLeft, 121, 16, ArrowImage::kLeftOfCaption),
    Place(kLPlus, "sb_LPlus", kLeft, 177, 16, ArrowImage::kRightOfCaption),
    Place(kBandMinus, "sb_BandMinus", kLeft, 9, 57, ArrowImage::kLeftOfCaption),
    Place(kBandPlus, "sb_BandPlus", kLeft, 65, 57, ArrowImage::kRightOfCaption),
    Place(kCMinus, "sb_CMinus", kLeft, 121, 57, ArrowImage::kLeftOfCaption),
    Place(kCPlus, "sb_CPlus", kLeft, 177, 57, ArrowImage::kRightOfCaption),
    Place(kTune, "sb_Tune", kLeft, 149, 97),
    Place(kDisplay, "sb_Display", kRight, 9, 16),
    Place(kLeftArrow, "sb_Left", kRight, 65, 16, ArrowImage::kLeftOfCaption),
    Place(kRightArrow, "sb_Right", kRight, 121, 16, ArrowImage::kRightOfCaption),
    Place(kOn, "sb_ON", kRight, 177, 16),
    Place(kPower, "sb_Power", kRight, 9, 57),
    Place(kCat, "sb_CAT", kRight, 65, 57),
    Place(kSet, "sb_Set", kRight, 121, 57),
    Place(kOff, "sb_OFF", kRight, 177, 57),
    Place(kOperate, "sb_Operate", kRight, 37, 97),
}};

struct LampPlace {
  Lamp lamp;
  const char* name;
  const char* caption;
  int panel;
  int left, top, width, height;
};

constexpr std::array<LampPlace, kLampCount> kLamps{{
    {Lamp::kAlarm, "stALARM", "AL", kLeft, 15, 100, 40, 16},
    {Lamp::kTune, "stTUNE", "TUNE", kLeft, 57, 100, 40, 16},
    {Lamp::kSet, "stSET", "SET", kLeft, 99, 100, 40, 16},
    {Lamp::kOn, "stON", "ON", kRight, 103, 100, 40, 15},
    {Lamp::kOperate, "stOP", "OP", kRight, 145, 100, 40, 15},
    {Lamp::kTransmit, "stTX", "TX", kRight, 187, 100, 40, 15},
}};

// Stepping with the wheel: the pointer last seen over one of these picks the
// pair of keys the wheel steps.
constexpr std::array<PanelKey, 8> kWheelButtons{kLMinus,    kLPlus,    kCMinus,    kCPlus,
                                                kBandMinus, kBandPlus, kLeftArrow, kRightArrow};

constexpr std::array<PanelKey, 4> kHoldable{kDisplay, kOperate, kPower, kCat};

QString Caption(const BuildProfile& profile) {
  return QString::fromUtf8(profile.programName.data(),
                           static_cast<qsizetype>(profile.programName.size())) +
         QStringLiteral(": Keypad");
}

void ShowLamp(QLabel* label, LampLook look, const std::string& reading) {
  // Screen readers hear the name change only when the lamp does.
  const QString name = QString::fromStdString(reading);
  if (label->accessibleName() != name) label->setAccessibleName(name);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, ToColour(look.back));
  palette.setColor(QPalette::WindowText, ToColour(look.text));
  label->setPalette(palette);
}

}  // namespace

FullKeypadWindow::FullKeypadWindow(const BuildProfile& profile, const KeyActionSet& actions,
                                   QWidget* owner)
    : KeypadWindow(Caption(profile), QSize(508, 152), actions, FullKeypadMap(), kPanels, kButtons,
                   owner) {
  setObjectName("KeyForm");

  QFont font(QStringLiteral("Arial"));
  font.setPointSize(7);
  for (const LampPlace& l : kLamps) {
    auto* label = new QLabel(QString::fromLatin1(l.caption), Panel(l.panel));
    label->setObjectName(l.name);
    label->setGeometry(l.left, l.top, l.width, l.height);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    label->setAutoFillBackground(true);
    lamps_[static_cast<std::size_t>(l.lamp)] = label;
  }
  SetLamps(0);

  // Only these report mouse moves; moving onto any other button or a lamp
  // leaves the wheel where it was.
  setMouseTracking(true);
  for (QFrame* panel : {pnlLeft(), pnlRight()}) {
    panel->setMouseTracking(true);
    panel->installEventFilter(this);
  }
  for (PanelKey key : kWheelButtons) {
    Button(key)->setMouseTracking(true);
    Button(key)->installEventFilter(this);
  }
  for (PanelKey key : kHoldable) Button(key)->installEventFilter(this);
}

void FullKeypadWindow::SetLamps(std::uint8_t lamps) {
  for (const LampPlace& l : kLamps) {
    ShowLamp(lamps_[static_cast<std::size_t>(l.lamp)], FullKeypadLamp(l.lamp, lamps),
             LampReading(l.lamp, lamps));
  }
}

void FullKeypadWindow::ReleaseHold(HoldKey hold) {
  States().Release(ButtonOf(hold));
  Sync();
}

bool FullKeypadWindow::IsHoldable(QObject* object) const {
  for (PanelKey key : kHoldable) {
    if (object == Button(key)) return true;
  }
  return false;
}

bool FullKeypadWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && !IsHoldable(watched)) {
    wheelTarget_ = static_cast<QWidget*>(watched);
    // A plain move ends with the control that reported it; a panel must not
    // report it again as its own. A drag belongs to the pressed button.
    return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
  }
  if (event->type() == QEvent::MouseButtonRelease && IsHoldable(watched)) {
    auto* button = static_cast<KeypadButton*>(watched);
    if (!button->isEnabled()) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      // A right click holds or lets go; it never sends.
      if (button->rect().contains(mouse->position().toPoint())) {
        States().ToggleHold(button->Key());
        Sync();
      }
      return true;
    }
    // Any other button lets the hold go first, so that the click that follows
    // sends the plain key.
    States().Release(button->Key());
    Sync();
  }
  return KeypadWindow::eventFilter(watched, event);
}

void FullKeypadWindow::mouseMoveEvent(QMouseEvent* event) {
  wheelTarget_ = this;
  KeypadWindow::mouseMoveEvent(event);
}

void FullKeypadWindow::wheelEvent(QWheelEvent* event) {
  // Positive rotation is away from the user: up.
  wheelRotation_ += event->angleDelta().y();
  while (wheelRotation_ >= kWheelNotch) {
    wheelRotation_ -= kWheelNotch;
    FormMouseWheel(false);
  }
  while (wheelRotation_ <= -kWheelNotch) {
    wheelRotation_ += kWheelNotch;
    FormMouseWheel(true);
  }
  event->accept();
}

void FullKeypadWindow::FormMouseWheel(bool towardsUser) {
  std::optional<PanelKey> target;
  if (auto* button = qobject_cast<KeypadButton*>(wheelTarget_)) target = button->Key();
  if (const auto step = WheelStep(target, towardsUser)) Execute(*step);
}

}  // namespace amppanel
