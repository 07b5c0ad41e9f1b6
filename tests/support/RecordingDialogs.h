// Answers message boxes and file dialogs for tests, recording what was shown.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/Dialogs.h"

namespace amppanel::test {

class RecordingDialogs final : public Dialogs {
 public:
  void ErrorBox(const std::string& text) override { Record("error: " + text); }
  void Information(const std::string& text) override { Record("info: " + text); }
  bool Question(const std::string& text, bool) override {
    Record("question: " + text);
    return answerYes;
  }
  std::optional<std::string> OpenFile(const FileDialogOptions& o) override {
    Record("open: " + o.title);
    return fileToGive;
  }
  std::optional<std::string> SaveFile(const FileDialogOptions& o) override {
    Record("save: " + o.title);
    return fileToGive;
  }

  std::vector<std::string> Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

  bool answerYes = false;
  std::optional<std::string> fileToGive;

 private:
  void Record(std::string s) {
    std::lock_guard lock(mutex_);
    shown_.push_back(std::move(s));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> shown_;
};

}  // namespace amppanel::test
