// Drives a modal dialog from inside its exec(), as an operator at the keyboard
// would: the steps run once the dialog is the active modal window with a
// focused widget, and keys go to whichever widget has the focus.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace amppanel::test {

// Set when a dialog was waited for in vain and every modal dialog was closed
// to let the test go on (and fail).
inline bool& ModalDriverGaveUp() {
  static bool gaveUp = false;
  return gaveUp;
}

inline bool IsActiveModal(QWidget* dialog) {
  return dialog != nullptr && dialog->isVisible() && QApplication::activeModalWidget() == dialog &&
         QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == dialog;
}

// Runs `steps` once `dialog` is the active modal window; the caller then
// opens it (or has opened it).
inline void WhenActive(QWidget* dialog, std::function<void()> steps, int timeoutMs = 10000) {
  auto* timer = new QTimer;
  const QPointer<QWidget> target(dialog);
  const QDeadlineTimer deadline(timeoutMs);
  QObject::connect(timer, &QTimer::timeout, [timer, target, deadline, steps = std::move(steps)] {
    // A window manager hands the focus back to a dialog whose own dialog has
    // closed; the offscreen platform does not.
    if (target != nullptr && QApplication::activeModalWidget() == target &&
        QApplication::activeWindow() == nullptr) {
      target->activateWindow();
    }
    if (IsActiveModal(target)) {
      timer->stop();
      timer->deleteLater();
      steps();
    } else if (deadline.hasExpired()) {
      timer->stop();
      timer->deleteLater();
      ModalDriverGaveUp() = true;
      while (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) open->reject();
    }
  });
  timer->start(5);
}

// A key typed at the focused widget.
inline void Type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

}  // namespace amppanel::test
