// The controls the connection settings are made of: black read-outs with bold
// coloured text, and scroll bars that step the way the arrow keys point.
#pragma once

#include <QLabel>
#include <QScrollBar>

#include "link/serial/PortReadout.h"

namespace amppanel {

// `sunken`: drawn in a sunken frame.
QLabel* MakeReadoutLabel(QWidget* parent, const char* objectName, const QRect& geometry,
                         bool sunken);
void ShowReadout(QLabel* label, const Readout& readout);

// A horizontal scroll bar worked from the keyboard: Right and Down one step
// up, Left and Up one step down, Page Down and Page Up a large step, Home and
// End to the ends. Qt's own scroll bar turns the arrows round.
class StepScrollBar final : public QScrollBar {
  Q_OBJECT

 public:
  StepScrollBar(QWidget* parent, const char* objectName, const QRect& geometry, int maximum,
                int largeStep);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace amppanel
