#include "ui/AppIcon.h"

namespace amppanel {

QIcon AppIcon() {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/amppanel/icons/amppanel-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace amppanel
