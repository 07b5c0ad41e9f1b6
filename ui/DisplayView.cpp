#include "ui/DisplayView.h"

#include <QPainter>

namespace amppanel {

DisplayView::DisplayView(QWidget* parent) : QWidget(parent) {
  setObjectName("DisplayView");
  // Every pixel is painted from the image; nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DisplayView::Attach(const DisplayImage& image) {
  image_ = QImage(reinterpret_cast<const uchar*>(image.DrawPixels()), DisplayImage::kWidth,
                  DisplayImage::kHeight, DisplayImage::kDrawBytesPerLine, QImage::Format_RGB32);
  update();
}

void DisplayView::Detach() {
  image_ = QImage();
  update();
}

void DisplayView::ShowChanges(const DisplayImage::Region& changed) {
  if (changed.Empty() || image_.isNull()) return;
  // Widget pixels whose nearest image pixel lies in the region, with one pixel
  // to spare on each side for the rounding of the stretch.
  const long long w = width();
  const long long h = height();
  const auto scaleX = [w](long long x) { return x * w / DisplayImage::kWidth; };
  const auto scaleY = [h](long long y) { return y * h / DisplayImage::kHeight; };
  const long long left = scaleX(changed.left) - 1;
  const long long top = scaleY(changed.top) - 1;
  const long long right = scaleX(changed.right) + 2;
  const long long bottom = scaleY(changed.bottom) + 2;
  update(QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
               static_cast<int>(bottom - top))
             .intersected(rect()));
}

void DisplayView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull()) {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    return;
  }
  // Independent horizontal and vertical scales; dots are repeated or dropped,
  // never blended, so the display stays crisp at any window size. The painter
  // is clipped to the region asked for, so a small change costs a small copy.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(rect(), image_);
}

}  // namespace amppanel
