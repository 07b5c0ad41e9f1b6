// Freezing at a known point of the poll cycle, for the window's freeze tests.
#pragma once

#include <QAction>
#include <QObject>
#include <QtTest>

#include "ui/MainWindow.h"

namespace amppanel::test {

// Freezes the display from inside the drawing of a reply. The worker then finishes that cycle and
// comes to rest at its gate: no query and no drawing follows, so a test needs no settling time
// before it takes the held image or counts the frames sent. False when no
// reply was drawn within the time-out.
inline bool FreezeRightAfterADrawing(MainWindow& form, int timeoutMs = 10000) {
  bool frozen = false;
  const QMetaObject::Connection drawn =
      QObject::connect(&form, &MainWindow::FrameShown, &form, [&form, &frozen] {
        if (frozen) return;
        frozen = true;
        form.Action("actFreeze")->trigger();
      });
  const bool done = QTest::qWaitFor([&frozen] { return frozen; }, timeoutMs);
  QObject::disconnect(drawn);
  return done && form.Action("actFreeze")->isChecked();
}

}  // namespace amppanel::test
