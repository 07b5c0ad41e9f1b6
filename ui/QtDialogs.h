// The only code that opens QMessageBox and QFileDialog.
#pragma once

#include <QString>

#include "ui/Dialogs.h"

class QWidget;

namespace amppanel {

class QtDialogs final : public Dialogs {
 public:
  QtDialogs(QWidget* owner, QString programName) : owner_(owner), title_(std::move(programName)) {}

  void ErrorBox(const std::string& text) override;
  void Information(const std::string& text) override;
  bool Question(const std::string& text, bool defaultYes) override;
  std::optional<std::string> OpenFile(const FileDialogOptions& options) override;
  std::optional<std::string> SaveFile(const FileDialogOptions& options) override;

 private:
  QWidget* owner_;
  QString title_;
};

}  // namespace amppanel
