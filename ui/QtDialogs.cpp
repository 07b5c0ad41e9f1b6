#include "ui/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace amppanel {
namespace {

// Texts may break lines with a lone carriage return; Qt wants line feeds.
QString BoxText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

}  // namespace

void QtDialogs::ErrorBox(const std::string& text) {
  QMessageBox::critical(owner_, title_, BoxText(text), QMessageBox::Ok);
}

void QtDialogs::Information(const std::string& text) {
  QMessageBox::information(owner_, title_, BoxText(text), QMessageBox::Ok);
}

bool QtDialogs::Question(const std::string& text, bool defaultYes) {
  return QMessageBox::question(owner_, title_, BoxText(text), QMessageBox::Yes | QMessageBox::No,
                               defaultYes ? QMessageBox::Yes : QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogOptions& options) {
  QFileDialog dialog(owner_, QString::fromStdString(options.title), QString(),
                     QString::fromStdString(options.filter));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!options.initialName.empty()) dialog.selectFile(QString::fromStdString(options.initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogOptions& options) {
  QFileDialog dialog(owner_, QString::fromStdString(options.title), QString(),
                     QString::fromStdString(options.filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromStdString(options.defaultSuffix));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
  if (!options.initialName.empty()) dialog.selectFile(QString::fromStdString(options.initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace amppanel
