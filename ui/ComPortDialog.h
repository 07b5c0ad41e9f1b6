// The serial program's connection settings: the COM port, and through its
// advanced dialog the baud rate.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/ConnectionDialog.h"

class QLabel;
class QPushButton;
class QScrollBar;

namespace amppanel {

class BaudRateDialog;

class ComPortDialog final : public QDialog {
  Q_OBJECT
  // The baud index between the two dialogs: what the advanced dialog chose
  // with OK, kept only if this dialog is left with OK too.
  Q_PROPERTY(int IdxBaudRate READ IdxBaudRate WRITE SetIdxBaudRate)

 public:
  // Placed relative to `mainWindow`, modal over it.
  explicit ComPortDialog(QWidget* mainWindow);

  // Opens modally with `settings`; OK writes the port and the baud index back
  // and returns true. Cancel leaves them as they were, whatever the advanced
  // dialog chose.
  bool Edit(LinkSettings& settings);

  int IdxBaudRate() const { return idxBaudRate_; }
  void SetIdxBaudRate(int baudIndex) { idxBaudRate_ = baudIndex; }
  BaudRateDialog* Advanced() const { return advanced_; }
  // The advanced dialog, its top-left corner at this dialog's centre.
  void EditAdvanced();

 private:
  void ShowPort(int comPort);

  QScrollBar* bar_ = nullptr;
  QLabel* readout_ = nullptr;
  BaudRateDialog* advanced_ = nullptr;
  int idxBaudRate_ = 0;
};

// The serial program's dialog for MainWindow::SetConnectionDialog; the window
// owns the widgets.
std::unique_ptr<ConnectionDialog> MakeComPortDialog(QWidget* mainWindow);

}  // namespace amppanel
