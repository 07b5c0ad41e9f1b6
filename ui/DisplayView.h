// The display area of the main window: the whole display image stretched onto
// the whole widget, nearest-neighbour, with independent horizontal and
// vertical scales.
#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

#include "display/DisplayImage.h"
#include "display/DisplayText.h"

namespace amppanel {

class DisplayView final : public QWidget {
  Q_OBJECT

 public:
  explicit DisplayView(QWidget* parent = nullptr);

  // Shows the image; it must outlive the view or be replaced with Detach()
  // before it is released. The view is the one that takes the image's
  // changes (DisplayImage::TakeChanges).
  void Attach(DisplayImage& image);
  void Detach();
  bool Attached() const { return image_ != nullptr; }

  // Redraws the part of the widget that shows the pixels changed since the
  // last look, and nothing when none did.
  void ShowChanges();

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
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Restretch();
  // Stretches the image pixels of `changed` into stretched_; returns the
  // widget pixels that changed with them.
  QRect Stretch(const DisplayImage::Region& changed);

  DisplayImage* image_ = nullptr;
  // The image at the widget's size. The toolkit's own stretch, clipped to a
  // repainted strip, picks its source dots differently from a stretch of the
  // whole (its fixed-point steps start afresh at the clip), so partly
  // repainted strips would shift dot columns by a pixel against the rest.
  // Stretching once here and copying 1:1 keeps every pixel where a full
  // repaint puts it, and a copy is the cheapest draw there is.
  QImage stretched_;
  // The image column of each widget column, the image row of each widget row.
  std::vector<int> sourceColumn_;
  std::vector<int> sourceRow_;

  DisplayText text_;
  bool alarmLit_ = false;
  QString announcement_;
};

}  // namespace amppanel
