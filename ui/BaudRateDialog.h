// The serial program's advanced settings: the baud rate. The frame format is
// fixed and only shown.
#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QScrollBar;

namespace amppanel {

class BaudRateDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit BaudRateDialog(QWidget* parent);

  // Puts the scroll bar and the read-out at `baudIndex`.
  void ShowBaudIndex(int baudIndex);
  // Opens modally at `baudIndex`; the index chosen with OK, nothing on Cancel.
  std::optional<int> Choose(int baudIndex);

 private:
  void ShowRate(int baudIndex);

  QScrollBar* bar_ = nullptr;
  QLabel* readout_ = nullptr;
};

}  // namespace amppanel
