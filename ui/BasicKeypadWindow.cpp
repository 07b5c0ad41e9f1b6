#include "ui/BasicKeypadWindow.h"

#include <QLabel>

namespace amppanel {
namespace {

using enum PanelKey;

constexpr int kTop = 0;     // Panel2: ON and OFF
constexpr int kMiddle = 1;  // Panel1: OPERATE, POWER, INPUT, ANT
constexpr int kBottom = 2;  // Panel3: TUNE and DISPLAY
constexpr int kHeight = 22;

constexpr std::array<PanelPlace, 3> kPanels{{
    {"Panel2", 7, 7, 130, 43},
    {"Panel1", 7, 53, 130, 66},
    {"Panel3", 7, 121, 130, 43},
}};

constexpr std::array<ButtonPlace, 8> kButtons{{
    {kOn, "sb_ON", kTop, 3, 15, 61, kHeight},
    {kOff, "SpeedButton1", kTop, 64, 15, 62, kHeight},
    {kOperate, "sb_Operate", kMiddle, 3, 15, 61, kHeight},
    {kPower, "sb_Power", kMiddle, 64, 15, 62, kHeight},
    {kInput, "sb_Input", kMiddle, 3, 38, 61, kHeight},
    {kAnt, "sb_Antenna", kMiddle, 64, 38, 62, kHeight},
    {kTune, "sb_Tune", kBottom, 3, 15, 61, kHeight},
    {kDisplay, "sb_Display", kBottom, 64, 15, 62, kHeight},
}};

struct StripPlace {
  Lamp lamp;
  const char* name;
  int panel;
  QRect serial;
  QRect usb;
};

const std::array<StripPlace, 4> kStrips{{
    {Lamp::kOn, "stON", kTop, QRect(4, 4, 122, 10), QRect(4, 4, 122, 10)},
    {Lamp::kOperate, "stOP", kMiddle, QRect(4, 4, 122, 10), QRect(4, 4, 122, 10)},
    {Lamp::kTune, "stTUNE", kBottom, QRect(3, 4, 61, 10), QRect(4, 4, 60, 10)},
    {Lamp::kAlarm, "stALARM", kBottom, QRect(64, 4, 62, 10), QRect(64, 4, 62, 10)},
}};

QString Caption(const BuildProfile& profile) {
  return QString::fromUtf8(profile.programName.data(),
                           static_cast<qsizetype>(profile.programName.size())) +
         QStringLiteral(": BasicKeypad");
}

void Paint(QLabel* strip, Rgb colour, const std::string& reading) {
  // The strips have no caption: their name says which lamp and its state.
  const QString name = QString::fromStdString(reading);
  if (strip->accessibleName() != name) strip->setAccessibleName(name);
  QPalette palette = strip->palette();
  palette.setColor(QPalette::Window, ToColour(colour));
  strip->setPalette(palette);
}

}  // namespace

BasicKeypadWindow::BasicKeypadWindow(const BuildProfile& profile, const KeyActionSet& actions,
                                     QWidget* owner)
    : KeypadWindow(Caption(profile),
                   profile.link == LinkKind::kSerial ? QSize(143, 169) : QSize(193, 171), actions,
                   BasicKeypadMap(), kPanels, kButtons, owner) {
  setObjectName("JKeypad");
  const bool serial = profile.link == LinkKind::kSerial;
  for (const StripPlace& s : kStrips) {
    auto* strip = new QLabel(Panel(s.panel));
    strip->setObjectName(s.name);
    strip->setGeometry(serial ? s.serial : s.usb);
    strip->setAutoFillBackground(true);
    strips_[static_cast<std::size_t>(s.lamp)] = strip;
  }
  SetLamps(0);
}

void BasicKeypadWindow::SetLamps(std::uint8_t lamps) {
  const BasicStrips colours = BasicKeypadStrips(lamps);
  Paint(Strip(Lamp::kOn), colours.on, BasicStripReading(Lamp::kOn, lamps));
  Paint(Strip(Lamp::kOperate), colours.op, BasicStripReading(Lamp::kOperate, lamps));
  Paint(Strip(Lamp::kTune), colours.tune, BasicStripReading(Lamp::kTune, lamps));
  Paint(Strip(Lamp::kAlarm), colours.alarm, BasicStripReading(Lamp::kAlarm, lamps));
}

}  // namespace amppanel
