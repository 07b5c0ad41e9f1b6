// The display area of the main window: the whole display image stretched onto
// the whole widget, nearest-neighbour, straight from the image's own pixels.
#pragma once

#include <QImage>
#include <QWidget>

namespace amppanel {

class DisplayView final : public QWidget {
  Q_OBJECT

 public:
  explicit DisplayView(QWidget* parent = nullptr);

  // Shows the given RGB888 pixels without copying them; they must outlive the
  // view or be replaced with Detach() before they are released.
  void Attach(const unsigned char* pixels, int width, int height, int bytesPerLine);
  void Detach();
  bool Attached() const { return !image_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace amppanel
