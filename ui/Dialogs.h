// Message boxes and file dialogs, behind one small interface so that every flow
// that shows one can be driven by tests. Every box is owned by the main window
// and titled with the program's name.
#pragma once

#include <optional>
#include <string>

namespace amppanel {

struct FileDialogOptions {
  std::string title;
  std::string filter;         // e.g. "Bitmap files (*.bmp)"
  std::string defaultSuffix;  // without the dot
  std::string initialName;
  bool confirmOverwrite = true;  // save dialogs only
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void ErrorBox(const std::string& text) = 0;
  virtual void Information(const std::string& text) = 0;
  // Yes/No question; true for Yes.
  virtual bool Question(const std::string& text, bool defaultYes) = 0;
  virtual std::optional<std::string> OpenFile(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialogOptions& options) = 0;
};

}  // namespace amppanel
