// What the main window's status bar says, as plain text: the window only puts
// each string into its panel.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "link/Link.h"

namespace amppanel {

struct StatusInputs {
  bool serial = true;
  int presetItem = 1;
  int displayWidth = 0;  // the drawn display area, in pixels
  int displayHeight = 0;
  LinkSettings link;
  bool onLine = false;
  bool lineLost = false;  // on-line, but the port is gone and being reopened
  bool frozen = false;
  bool operator==(const StatusInputs&) const = default;
};

inline constexpr std::size_t kMaxStatusPanels = 8;

struct StatusTexts {
  // Empty: the panel keeps what it shows (the serial program leaves the data
  // format in place when no port is chosen).
  std::array<std::optional<std::string>, kMaxStatusPanels> panels;
  std::string hint;  // the window's tool tip
};

StatusTexts MakeStatusTexts(const StatusInputs& in);

}  // namespace amppanel
