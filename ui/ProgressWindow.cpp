#include "ui/ProgressWindow.h"

#include <QProgressBar>
#include <QPushButton>

namespace amppanel {

ProgressWindow::ProgressWindow(QWidget* owner, const QString& caption) : QWidget(owner, Qt::Tool) {
  setWindowTitle(caption);
  resize(245, 101);
  pbWait_ = new QProgressBar(this);
  pbWait_->setObjectName("pbWait");
  pbWait_->setGeometry(10, 8, 210, 17);
  pbWait_->setRange(0, 300);
  pbWait_->setValue(0);
  pbWait_->setTextVisible(false);
  btnAbort_ = new QPushButton(QStringLiteral("Abort process"), this);
  btnAbort_->setObjectName("btnAbort");
  btnAbort_->setGeometry(56, 33, 118, 25);
  connect(btnAbort_, &QPushButton::clicked, this, &ProgressWindow::btnAbortClick);
}

void ProgressWindow::btnAbortClick() { hide(); }

void ProgressWindow::Advance(int step) { pbWait_->setValue(pbWait_->value() + step); }

void ProgressWindow::ResetProgress() { pbWait_->setValue(0); }

void ProgressWindow::setVisible(bool visible) {
  QWidget::setVisible(visible);
  shown_.store(isVisible());
}

}  // namespace amppanel
