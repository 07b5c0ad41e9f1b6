// What the stand-in D2XX library is told to be: its devices, the failures it
// injects, the amplifier behind it and where it logs. Read from environment
// variables and an optional small config file (key = value lines).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace amppanel {

// Environment variables of the stand-in (the library path itself is
// AMPPANEL_D2XX, read by the program that loads it).
inline constexpr const char* kStandInLogVariable = "AMPPANEL_D2XX_LOG";
inline constexpr const char* kStandInConfigVariable = "AMPPANEL_D2XX_CONFIG";
inline constexpr const char* kStandInDevicesVariable = "AMPPANEL_D2XX_DEVICES";
inline constexpr const char* kStandInFailVariable = "AMPPANEL_D2XX_FAIL";
inline constexpr const char* kStandInCutAfterVariable = "AMPPANEL_D2XX_CUT_AFTER";
inline constexpr const char* kStandInAmpsimVariable = "AMPPANEL_D2XX_AMPSIM";

inline constexpr const char* kStandInDefaultId = "KALDOR01";
inline constexpr const char* kStandInDescription = "KALDOR R40-XT USB";

struct StandInDevice {
  std::string id;  // the ID string (serial number); at most 15 characters are reported
  std::uint32_t flags = 0;
  std::string description = kStandInDescription;
};

// The call named `call` (exported name, FT_SetBaudRate, or role name,
// UsbSetBaudRate) returns `status` at its `occurrence`-th call (1 = first), at
// every call from there on when `onward`, at every call when occurrence is 0.
struct StandInFailure {
  std::string call;
  int occurrence = 0;
  bool onward = false;
  std::uint32_t status = 4;
  bool Matches(std::string_view name, std::string_view role, int count) const;
};

struct StandInConfig {
  std::vector<StandInDevice> devices{StandInDevice{kStandInDefaultId}};
  std::vector<StandInFailure> failures;
  int cutAfterFrames = 0;               // 0: never
  std::vector<std::string> ampsimArgs;  // ampsim's options for the amplifier
  std::string logPath;                  // empty: no log
};

// "ID[:flags],ID[:flags]..."; an empty text or "none" means no device.
bool ParseStandInDevices(std::string_view text, std::vector<StandInDevice>& devices,
                         std::string& error);
// "CALL:OCCURRENCE:STATUS,..." with OCCURRENCE N, N+ or *.
bool ParseStandInFailures(std::string_view text, std::vector<StandInFailure>& failures,
                          std::string& error);
// One setting: devices, fail, cut_after, ampsim or log.
bool ApplyStandInSetting(std::string_view key, std::string_view value, StandInConfig& config,
                         std::string& error);
// key = value lines; blank lines and lines starting with # are skipped.
bool ParseStandInConfigText(std::string_view text, StandInConfig& config, std::string& errors);

using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
// The config file named by AMPPANEL_D2XX_CONFIG first, then each variable
// above, which wins over the file. Problems are collected in `errors`.
StandInConfig LoadStandInConfig(const EnvLookup& env, std::string& errors);

}  // namespace amppanel
