// The operator commands of the main window as data: the UI makes one action
// from each row, and menus and keypad buttons take caption, hint and enabled
// state from the action.
#pragma once

#include <span>
#include <string_view>

#include "core/BuildProfile.h"

namespace amppanel {

struct ActionSpec {
  std::string_view name;      // "actOpen"
  std::string_view caption;   // "&" marks the access key
  std::string_view shortcut;  // portable text, e.g. "Ctrl+Q"; empty for none
  std::string_view hint;
  std::string_view category;  // "FileGroup", "ViewGroup", "LeftGroup", "RightGroup"
  bool checkable = false;
};

// The commands of the File menu, in menu order (separators are the menus' own).
std::span<const ActionSpec> FileActions(const BuildProfile& profile);
// Window placement and size presets (the View menu's own commands).
std::span<const ActionSpec> ViewActions();
// The eighteen front-panel keys (LeftGroup, RightGroup; no shortcuts) in the
// order they are enabled, then the switches of the two keypad windows.
std::span<const ActionSpec> KeyActions(const BuildProfile& profile);

}  // namespace amppanel
