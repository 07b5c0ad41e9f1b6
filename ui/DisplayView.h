// The display area of the main window: the whole display image stretched onto
// the whole widget, nearest-neighbour, straight from the image's own pixels.
#pragma once

#include <QImage>
#include <QWidget>

#include "display/DisplayText.h"

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

  // For screen readers (DisplayAccessible.cpp): the display as text, handed
  // over with every new image together with the alarm lamp. Raises the
  // accessibility events only when the text changed, and an announcement when
  // an alarm or the selected line needs saying.
  void ShowText(const DisplayText& text, bool alarmLit);
  const DisplayText& Text() const { return text_; }
  // The last thing announced; empty before the first.
  const QString& LastAnnouncement() const { return announcement_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  DisplayText text_;
  bool alarmLit_ = false;
  QString announcement_;
};

}  // namespace amppanel
