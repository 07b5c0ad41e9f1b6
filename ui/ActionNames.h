// The names of the main window's commands, which are also their Qt object
// names: code addresses an action through these, never through a string typed
// again. The front-panel keys' names are in keys/Keys.h (ActionName).
#pragma once

namespace amppanel::act {

inline constexpr char kOpen[] = "actOpen";
inline constexpr char kClose[] = "actClose";
inline constexpr char kConfigureConnection[] = "actConfigureConnection";
inline constexpr char kLoadUpdate[] = "actLoadUpdate";
inline constexpr char kExit[] = "actExit";
inline constexpr char kFreeze[] = "actFreeze";
inline constexpr char kSave[] = "actSave";
inline constexpr char kHome[] = "actHome";
inline constexpr char kPark[] = "actPark";
inline constexpr char kKeypad[] = "actKeypad";
inline constexpr char kJKeypad[] = "actJKeypad";
inline constexpr char kRecallKeypad[] = "actRecallKeypad";
inline constexpr char kAbout[] = "About1";
// Followed by the preset's number, 1 to 5.
inline constexpr char kPresetStem[] = "actPreset";
inline constexpr char kDefPresetStem[] = "actDefPreset";

}  // namespace amppanel::act
