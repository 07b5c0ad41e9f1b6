#include "ui/SettingsWidgets.h"

#include <QKeyEvent>
#include <QPalette>

namespace amppanel {

namespace {
QColor ToColour(Rgb rgb) { return {rgb.r, rgb.g, rgb.b}; }
}  // namespace

QLabel* MakeReadoutLabel(QWidget* parent, const char* objectName, const QRect& geometry,
                         bool sunken) {
  auto* label = new QLabel(parent);
  label->setObjectName(objectName);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignCenter);
  if (sunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAutoFillBackground(true);
  QFont font = label->font();
  font.setPointSize(10);
  font.setBold(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, ToColour(kReadoutBackground));
  label->setPalette(palette);
  return label;
}

void ShowReadout(QLabel* label, const Readout& readout) {
  const QString text = QString::fromStdString(readout.text);
  if (label->text() != text) label->setText(text);
  const QColor colour = ToColour(readout.colour);
  QPalette palette = label->palette();
  if (palette.color(QPalette::WindowText) != colour) {
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
  }
}

StepScrollBar::StepScrollBar(QWidget* parent, const char* objectName, const QRect& geometry,
                             int maximum, int largeStep)
    : QScrollBar(Qt::Horizontal, parent) {
  setObjectName(objectName);
  setGeometry(geometry);
  setRange(0, maximum);
  setSingleStep(1);
  setPageStep(largeStep);
  // Scroll bars take no focus by default; these are operated by keyboard.
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::PointingHandCursor);
}

void StepScrollBar::keyPressEvent(QKeyEvent* event) {
  SliderAction action = SliderNoAction;
  switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
      action = SliderSingleStepAdd;
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      action = SliderSingleStepSub;
      break;
    case Qt::Key_PageDown:
      action = SliderPageStepAdd;
      break;
    case Qt::Key_PageUp:
      action = SliderPageStepSub;
      break;
    case Qt::Key_Home:
      action = SliderToMinimum;
      break;
    case Qt::Key_End:
      action = SliderToMaximum;
      break;
    default:
      QScrollBar::keyPressEvent(event);
      return;
  }
  triggerAction(action);
  event->accept();
}

}  // namespace amppanel
