#include "ui/DisplayView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "ui/DisplayAccessible.h"

namespace amppanel {

namespace {

// For each of `to` widget pixels, the image pixel under its centre.
std::vector<int> NearestSources(int to, int from) {
  std::vector<int> sources(static_cast<std::size_t>(std::max(to, 0)));
  for (int i = 0; i < to; ++i) {
    const long long centre = (2LL * i + 1) * from / (2LL * to);
    sources[static_cast<std::size_t>(i)] = static_cast<int>(std::min<long long>(centre, from - 1));
  }
  return sources;
}

// The widget pixels [first, last) whose sources lie in [begin, end).
std::pair<int, int> WidgetSpan(const std::vector<int>& sources, int begin, int end) {
  const auto first = std::lower_bound(sources.begin(), sources.end(), begin);
  const auto last = std::lower_bound(first, sources.end(), end);
  return {static_cast<int>(first - sources.begin()), static_cast<int>(last - sources.begin())};
}

}  // namespace

DisplayView::DisplayView(QWidget* parent) : QWidget(parent) {
  setObjectName("DisplayView");
  // Every pixel is painted from the image; nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  MakeDisplayAccessible(this);
}

void DisplayView::Attach(DisplayImage& image) {
  image_ = &image;
  Restretch();
  update();
}

void DisplayView::Detach() {
  image_ = nullptr;
  stretched_ = QImage();
  update();
}

void DisplayView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Restretch();
}

void DisplayView::Restretch() {
  sourceColumn_ = NearestSources(width(), DisplayImage::kWidth);
  sourceRow_ = NearestSources(height(), DisplayImage::kHeight);
  if (image_ == nullptr || width() <= 0 || height() <= 0) {
    stretched_ = QImage();
    return;
  }
  stretched_ = QImage(size(), QImage::Format_RGB32);
  (void)image_->TakeChanges();
  (void)Stretch({0, 0, DisplayImage::kWidth, DisplayImage::kHeight});
}

QRect DisplayView::Stretch(const DisplayImage::Region& changed) {
  const auto [left, right] = WidgetSpan(sourceColumn_, changed.left, changed.right);
  const auto [top, bottom] = WidgetSpan(sourceRow_, changed.top, changed.bottom);
  if (left >= right || top >= bottom) return {};
  const std::size_t bytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
  for (int y = top; y < bottom; ++y) {
    auto* to = reinterpret_cast<std::uint32_t*>(stretched_.scanLine(y)) + left;
    const int row = sourceRow_[static_cast<std::size_t>(y)];
    if (y > top && row == sourceRow_[static_cast<std::size_t>(y - 1)]) {
      // Rows are repeated, never blended: copy the one above.
      std::memcpy(to,
                  reinterpret_cast<const std::uint32_t*>(stretched_.constScanLine(y - 1)) + left,
                  bytes);
      continue;
    }
    const std::uint32_t* from = image_->DrawPixels() + row * DisplayImage::kWidth;
    for (int x = left; x < right; ++x) *to++ = from[sourceColumn_[static_cast<std::size_t>(x)]];
  }
  return QRect(left, top, right - left, bottom - top);
}

void DisplayView::ShowChanges() {
  if (stretched_.isNull()) return;
  const QRect redrawn = Stretch(image_->TakeChanges());
  if (!redrawn.isEmpty()) update(redrawn);
}

void DisplayView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (stretched_.isNull()) {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    return;
  }
  // An expose may come before the window has looked at the latest changes:
  // they are taken now, and the part outside this paint asked for.
  const QRect late = Stretch(image_->TakeChanges());
  if (!late.isEmpty() && !event->rect().contains(late)) update(late);
  painter.drawImage(event->rect(), stretched_, event->rect());
}

}  // namespace amppanel
