#include "ui/UsbPreferencesDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "core/BuildProfile.h"
#include "ui/QtDialogs.h"

namespace amppanel {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Device ID strings are bytes from the device's EEPROM, not UTF-8.
QString IdText(const std::string& id) {
  return QString::fromLatin1(id.data(), static_cast<qsizetype>(id.size()));
}

constexpr QSize kClientSize{313, 158};

}  // namespace

UsbPreferencesDialog::DeviceLister UsbPreferencesDialog::DefaultLister() {
  return [] { return ListUsbDevices(); };
}

UsbPreferencesDialog::UsbPreferencesDialog(const BuildProfile& profile, QWidget* parent,
                                           DeviceLister listDevices)
    : QDialog(parent),
      listDevices_(std::move(listDevices)),
      boxes_(std::make_unique<QtDialogs>(this, Text(profile.programName))) {
  setObjectName("dlgPreferences");
  setWindowTitle(Text(profile.programName) + QStringLiteral(": Configure connection"));
  setModal(true);
  // The controls sit at fixed places: the small dialog font they were laid
  // out for keeps "Enable ID Addressing" inside its box.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  setFixedSize(kClientSize);

  auto* bevel = new QFrame(this);  // first: the controls lie on top of it
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(9, 8, 297, 105);

  auto* caption = new QLabel(QStringLiteral("FTDI device ID string"), this);
  caption->setObjectName("StaticText1");
  caption->move(20, 15);
  caption->adjustSize();

  idReadout_ = new QLabel(this);
  idReadout_->setObjectName("stID");
  idReadout_->setGeometry(20, 35, 129, 17);
  idReadout_->setAlignment(Qt::AlignCenter);
  idReadout_->setFrameStyle(QFrame::Box | QFrame::Plain);
  idReadout_->setLineWidth(1);
  idReadout_->setAutoFillBackground(true);
  QPalette white = idReadout_->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  idReadout_->setPalette(white);

  idCheck_ = new QCheckBox(QStringLiteral("&Enable ID Addressing"), this);
  idCheck_->setObjectName("cbID");
  idCheck_->setGeometry(168, 35, 128, 17);
  // Its place ends at the frame: where the platform's font is wider than the
  // one the place was made for, the caption gets smaller rather than cut.
  for (QFont f = idCheck_->font();
       idCheck_->sizeHint().width() > idCheck_->width() && f.pointSizeF() > 6;) {
    f.setPointSizeF(f.pointSizeF() - 0.5);
    idCheck_->setFont(f);
  }
  connect(idCheck_, &QCheckBox::toggled, this, &UsbPreferencesDialog::IdCheckToggled);

  acquire_ = new QPushButton(QStringLiteral("&Acquire ID string"), this);
  acquire_->setObjectName("btnAcquire");
  acquire_->setGeometry(20, 73, 129, 25);
  acquire_->setAutoDefault(false);
  connect(acquire_, &QPushButton::clicked, this, &UsbPreferencesDialog::AcquireIdString);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName("OKBtn");
  ok_->setGeometry(79, 124, 75, 25);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName("CancelBtn");
  cancel_->setGeometry(159, 124, 75, 25);
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(ok_, cancel_);
  setTabOrder(cancel_, idCheck_);
  setTabOrder(idCheck_, acquire_);
  StyleIdReadout();
}

void UsbPreferencesDialog::SetDialogs(std::unique_ptr<Dialogs> boxes) { boxes_ = std::move(boxes); }

bool UsbPreferencesDialog::Edit(LinkSettings& settings) {
  choice_ = UsbIdChoice(settings);
  ShowChoice();
  CentreOnScreen();
  if (exec() != QDialog::Accepted) return false;
  choice_.StoreInto(settings);
  return true;
}

void UsbPreferencesDialog::CentreOnScreen() {
  const QWidget* owner = parentWidget();
  const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  // The dialog's own frame is known only once it is shown; the owner's, framed
  // by the same window manager, stands in for it.
  const QSize frame = owner != nullptr ? owner->frameGeometry().size() - owner->size() : QSize();
  QRect place(QPoint(), size() + frame);
  place.moveCenter(screen->availableGeometry().center());
  move(place.topLeft());
}

void UsbPreferencesDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  StyleIdReadout();
  ok_->setFocus();
  onScreen_ = true;
}

void UsbPreferencesDialog::done(int result) {
  onScreen_ = false;
  QDialog::done(result);
}

void UsbPreferencesDialog::IdCheckToggled(bool checked) {
  if (!onScreen_) return;
  // Ticked with no string shown: the box clears again at once (and this runs
  // once more, for the clearing).
  if (choice_.SetEnabled(checked) != checked) {
    idCheck_->setChecked(choice_.Enabled());
    return;
  }
  StyleIdReadout();
}

void UsbPreferencesDialog::AcquireIdString() {
  const AcquireMessage message = choice_.Acquire(listDevices_());
  if (message.error) {
    boxes_->ErrorBox(message.text);
    return;
  }
  ShowChoice();
  boxes_->Information(message.text);
}

void UsbPreferencesDialog::ShowChoice() {
  idReadout_->setText(IdText(choice_.IdString()));
  const bool wasOnScreen = onScreen_;
  onScreen_ = false;  // showing the choice is not the operator's click
  idCheck_->setChecked(choice_.Enabled());
  onScreen_ = wasOnScreen;
  StyleIdReadout();
}

void UsbPreferencesDialog::StyleIdReadout() {
  // Struck through while the link does not open the device by this string.
  QFont courier(QStringLiteral("Courier"), 10);
  courier.setStyleHint(QFont::TypeWriter);
  const bool off = !idCheck_->isChecked();
  courier.setItalic(off);
  courier.setStrikeOut(off);
  idReadout_->setFont(courier);
}

}  // namespace amppanel
