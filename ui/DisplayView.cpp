#include "ui/DisplayView.h"

#include <QPainter>

#include "ui/DisplayAccessible.h"

namespace amppanel {

DisplayView::DisplayView(QWidget* parent) : QWidget(parent) {
  setObjectName("DisplayView");
  // Every pixel is painted from the image; nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  MakeDisplayAccessible(this);
}

void DisplayView::Attach(const unsigned char* pixels, int width, int height, int bytesPerLine) {
  image_ = QImage(pixels, width, height, bytesPerLine, QImage::Format_RGB888);
  update();
}

void DisplayView::Detach() {
  image_ = QImage();
  update();
}

void DisplayView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull()) {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    return;
  }
  // Independent horizontal and vertical scales; dots are repeated or dropped,
  // never blended, so the display stays crisp at any window size.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(rect(), image_);
}

}  // namespace amppanel
