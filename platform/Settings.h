// The operator's settings as the main window keeps them between runs, and the
// rules for reading them back: all of the window's placement or none of it,
// and a store that cannot be read falls back to a known-good set of values.
#pragma once

#include <array>
#include <string>

#include "core/BuildProfile.h"
#include "platform/SettingsStore.h"

namespace amppanel {

// Outer window size (frame, caption and menu bar included).
struct PresetSize {
  int height = 0;
  int width = 0;
  friend bool operator==(const PresetSize&, const PresetSize&) = default;
};

inline constexpr int kPresetCount = 5;
using PresetSizes = std::array<PresetSize, kPresetCount>;
inline constexpr PresetSizes kDefaultPresetSize{
    {{137, 259}, {216, 508}, {283, 752}, {351, 1000}, {488, 1424}}};
inline constexpr int kFallbackPresetItem = 3;
inline constexpr int kFallbackKeyTop = 280;
inline constexpr int kMaxComPort = 256;

struct PanelSettings {
  std::string usbIdString;
  bool usbIdEnabled = false;

  // Main window, outer frame.
  int top = 0;
  int left = 0;
  int height = 0;
  int width = 0;

  // Keypad windows: on load the stored positions; on save the windows' own.
  int keyTop = 0;
  int keyLeft = 0;
  int jKeyTop = 0;  // the serial program's basic keypad; the USB program's shares keyTop
  int jKeyLeft = 0;
  bool keypadVisible = true;    // actKeypad checked
  bool jKeypadVisible = false;  // actJKeypad checked

  PresetSizes presetSize = kDefaultPresetSize;
  int presetItem = kFallbackPresetItem;

  int comPort = 0;
  int baudIndex = 6;

  friend bool operator==(const PanelSettings&, const PanelSettings&) = default;
};

// Reads into `settings`; fields the store does not decide keep their value.
// Returns false when a read failed and the fallback values were applied.
bool LoadSettings(SettingsStore& store, const BuildProfile& profile, PanelSettings& settings);
// Writes every value in the store's fixed order. Keypad positions and shown
// states are the windows' own at the time of saving.
void SaveSettings(SettingsStore& store, const BuildProfile& profile, const PanelSettings& settings);

// "ApplicationPreset3Height" for (3, true).
std::string PresetValueName(int preset, bool height);

}  // namespace amppanel
