#include "ui/ComPortDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>

#include "link/serial/PortReadout.h"
#include "platform/Settings.h"
#include "ui/BaudRateDialog.h"
#include "ui/SettingsWidgets.h"

namespace amppanel {

namespace {

constexpr QPoint kOffsetFromMainWindow{8, 50};

class ComPortConnectionDialog final : public ConnectionDialog {
 public:
  explicit ComPortConnectionDialog(QWidget* mainWindow) : dialog_(new ComPortDialog(mainWindow)) {}
  bool Edit(LinkSettings& settings) override {
    return dialog_ != nullptr && dialog_->Edit(settings);
  }

 private:
  QPointer<ComPortDialog> dialog_;
};

}  // namespace

ComPortDialog::ComPortDialog(QWidget* mainWindow) : QDialog(mainWindow) {
  setObjectName("dlgCom");
  // The trailing blank is part of the caption operators know.
  setWindowTitle(QStringLiteral("AmpPanel_232: Virtual Com Port "));
  setFixedSize(324, 160);
  setModal(true);

  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(16, 19, 297, 86);

  readout_ = MakeReadoutLabel(this, "stReadout", QRect(102, 40, 73, 20), true);

  bar_ = new StepScrollBar(this, "sbSet", QRect(31, 72, 154, 16), kMaxComPort, 16);
  connect(bar_, &QScrollBar::valueChanged, this, &ComPortDialog::ShowPort);

  auto* label = new QLabel(QStringLiteral("&COM Port:"), this);
  label->setObjectName("Label1");
  label->move(41, 43);
  label->adjustSize();
  label->setBuddy(bar_);

  // Two lines: the button is tall enough for them, and one line of this
  // font does not fit its width.
  auto* advanced = new QPushButton(QStringLiteral("&Advanced\nsettings..."), this);
  advanced->setObjectName("btnAdv");
  advanced->setGeometry(191, 40, 108, 48);
  connect(advanced, &QPushButton::clicked, this, &ComPortDialog::EditAdvanced);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("OKBtn");
  ok->setGeometry(72, 120, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName("CancelBtn");
  cancel->setGeometry(183, 120, 75, 25);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(bar_, advanced);
  setTabOrder(advanced, ok);
  setTabOrder(ok, cancel);

  advanced_ = new BaudRateDialog(this);
  ShowPort(bar_->value());
}

bool ComPortDialog::Edit(LinkSettings& settings) {
  // Asked again while open (a second failed-connection request): the open
  // dialog already serves it.
  if (isVisible()) return false;
  if (QWidget* main = parentWidget()) move(main->pos() + kOffsetFromMainWindow);
  SetIdxBaudRate(settings.baudIndex);
  bar_->setValue(settings.comPort);
  ShowPort(bar_->value());
  advanced_->ShowBaudIndex(idxBaudRate_);
  bar_->setFocus();
  if (exec() != QDialog::Accepted) return false;
  settings.comPort = bar_->value();
  settings.baudIndex = idxBaudRate_;
  return true;
}

void ComPortDialog::EditAdvanced() {
  const QRect frame = frameGeometry();
  advanced_->move(frame.left() + frame.width() / 2, frame.top() + frame.height() / 2);
  if (const auto chosen = advanced_->Choose(idxBaudRate_)) idxBaudRate_ = *chosen;
}

void ComPortDialog::ShowPort(int comPort) {
  ShowReadout(readout_, ComPortReadout(comPort));
  // On Linux COMn is only a name: say which device it is on this machine.
  const QString explanation = QString::fromStdString(ComPortExplanationHere(comPort));
  if (readout_->toolTip() != explanation) readout_->setToolTip(explanation);
}

std::unique_ptr<ConnectionDialog> MakeComPortDialog(QWidget* mainWindow) {
  return std::make_unique<ComPortConnectionDialog>(mainWindow);
}

}  // namespace amppanel
