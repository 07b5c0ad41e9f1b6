// The progress window shown while the connection sequence tries to open the
// link. Hiding it (its button or its close box) is how the operator aborts.
#pragma once

#include <QWidget>
#include <atomic>

class QProgressBar;
class QPushButton;

namespace amppanel {

class ProgressWindow final : public QWidget {
  Q_OBJECT

 public:
  ProgressWindow(QWidget* owner, const QString& caption);

  // Safe from any thread: the connect worker asks it after each failed attempt.
  bool ShownForWorker() const { return shown_.load(); }
  void Advance(int step);
  void ResetProgress();
  QProgressBar* pbWait() const { return pbWait_; }
  QPushButton* btnAbort() const { return btnAbort_; }

 public slots:
  void btnAbortClick();

 public:
  void setVisible(bool visible) override;

 private:
  QProgressBar* pbWait_;
  QPushButton* btnAbort_;
  std::atomic<bool> shown_{false};
};

}  // namespace amppanel
