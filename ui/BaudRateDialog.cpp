#include "ui/BaudRateDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "link/serial/PortReadout.h"
#include "link/serial/SerialLink.h"
#include "ui/SettingsWidgets.h"

namespace amppanel {

namespace {

QLabel* FixedText(QWidget* parent, const char* name, const QString& text, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(at);
  label->adjustSize();
  return label;
}

}  // namespace

BaudRateDialog::BaudRateDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("dlgAdv");
  setWindowTitle(QStringLiteral("AmpPanel_232: Advanced settings"));
  setFixedSize(225, 145);
  setModal(true);

  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(11, 8, 203, 89);

  readout_ = MakeReadoutLabel(this, "stReadTimeout", QRect(81, 26, 73, 20), false);

  bar_ = new StepScrollBar(this, "sbIdxBaudRate", QRect(22, 58, 132, 17),
                           static_cast<int>(kBaudTable.size()) - 1, 1);
  connect(bar_, &QScrollBar::valueChanged, this, &BaudRateDialog::ShowRate);

  auto* label = FixedText(this, "Label1", QStringLiteral("&Baud Rate"), {21, 30});
  label->setBuddy(bar_);
  FixedText(this, "Label2", QStringLiteral("8 Data Bit"), {159, 26});
  FixedText(this, "Label3", QStringLiteral("1 Stop Bit"), {159, 44});
  FixedText(this, "Label4", QStringLiteral("No Parity"), {159, 62});

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("OKBtn");
  ok->setGeometry(23, 108, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName("CancelBtn");
  cancel->setGeometry(127, 108, 75, 25);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(bar_, ok);
  setTabOrder(ok, cancel);
  ShowRate(bar_->value());
}

void BaudRateDialog::ShowBaudIndex(int baudIndex) {
  bar_->setValue(baudIndex);
  // Also when the position stays: the read-out follows what the bar shows.
  ShowRate(bar_->value());
}

std::optional<int> BaudRateDialog::Choose(int baudIndex) {
  if (isVisible()) return std::nullopt;
  ShowBaudIndex(baudIndex);
  bar_->setFocus();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return bar_->value();
}

void BaudRateDialog::ShowRate(int baudIndex) {
  ShowReadout(readout_, {.text = BaudReadout(baudIndex), .colour = kPortColour});
}

}  // namespace amppanel
