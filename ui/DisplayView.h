// The display area of the main window: the whole display image stretched onto
// the whole widget, nearest-neighbour, straight from the image's own pixels.
#pragma once

#include <QImage>
#include <QWidget>

#include "display/DisplayImage.h"

namespace amppanel {

class DisplayView final : public QWidget {
  Q_OBJECT

 public:
  explicit DisplayView(QWidget* parent = nullptr);

  // Shows the image's 32-bit pixels without copying them; the image must
  // outlive the view or be replaced with Detach() before it is released.
  void Attach(const DisplayImage& image);
  void Detach();
  bool Attached() const { return !image_.isNull(); }

  // Repaints the part of the widget that shows the given image pixels, and
  // nothing when the region is empty.
  void ShowChanges(const DisplayImage::Region& changed);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace amppanel
