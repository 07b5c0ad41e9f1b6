#include "ui/AboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/BuildProfile.h"

namespace amppanel {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* Line(const QString& text, QWidget* parent, int pointSize, bool bold, bool italic) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  if (pointSize > 0) font.setPointSize(pointSize);
  font.setBold(bold);
  font.setItalic(italic);
  label->setFont(font);
  label->setWordWrap(true);
  return label;
}

}  // namespace

AboutBox::AboutBox(const BuildProfile& profile, QWidget* parent) : QDialog(parent) {
  setObjectName("THelpDlg");
  const QString name = Text(profile.programName);
  setWindowTitle(name + QStringLiteral(": Help"));
  setFixedSize(313, 214);
  setModal(true);

  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  auto* icon = new QLabel(bevel);
  icon->setObjectName("ProgramIcon");
  // Device pixels: on a scaled screen pixmap() would hand a larger image
  // for the 32-pixel place.
  icon->setPixmap(QPixmap(QStringLiteral(":/amppanel/icons/amppanel-32.png")));
  icon->setFixedSize(32, 32);

  const bool serial = profile.link == LinkKind::kSerial;
  auto* title = Line(name, bevel, 16, true, true);
  title->setObjectName("ProductName");
  auto* product = Line(serial ? QStringLiteral("KALDOR R40-XT RS-232 terminal")
                              : QStringLiteral("KALDOR R40-XT USB terminal"),
                       bevel, 0, true, true);
  product->setObjectName("Version");
  auto* about =
      Line(QStringLiteral("Remote front panel: mirrors the amplifier's display, sends its keys and "
                          "updates its firmware. Version %1.")
               .arg(QStringLiteral(AMPPANEL_VERSION)),
           bevel, 0, false, false);
  about->setObjectName("Comments");

  auto* head = new QHBoxLayout;
  head->addWidget(icon, 0, Qt::AlignTop);
  head->addWidget(title, 1);
  auto* inner = new QVBoxLayout(bevel);
  inner->addLayout(head);
  inner->addWidget(product);
  inner->addWidget(about);
  inner->addStretch(1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* outer = new QVBoxLayout(this);
  outer->addWidget(bevel, 1);
  outer->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace amppanel
