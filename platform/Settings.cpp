#include "platform/Settings.h"

#include <optional>

namespace amppanel {
namespace {

// Thrown by a failing read: the remaining reads are skipped.
struct ReadFailed {};

std::int32_t Integer(SettingsStore& store, const char* name) {
  const auto value = store.ReadInteger(name);
  if (!value) throw ReadFailed{};
  return *value;
}

bool Boolean(SettingsStore& store, const char* name) {
  const auto value = store.ReadBool(name);
  if (!value) throw ReadFailed{};
  return *value;
}

bool IsSerial(const BuildProfile& profile) { return profile.link == LinkKind::kSerial; }

void ApplyFallback(const BuildProfile& profile, PanelSettings& s) {
  s.presetSize = kDefaultPresetSize;
  s.keyTop = kFallbackKeyTop;
  s.keyLeft = 0;
  s.keypadVisible = true;
  if (IsSerial(profile)) s.jKeypadVisible = false;
  s.top = 0;
  s.left = 0;
  s.presetItem = kFallbackPresetItem;
  if (IsSerial(profile)) {
    s.comPort = 0;
    s.baudIndex = 6;
  }
}

void Read(SettingsStore& store, const BuildProfile& profile, PanelSettings& s) {
  // A missing ID string is simply no ID string; one of the wrong kind is damage.
  s.usbIdString.clear();
  if (store.Exists("FTDI_ID_String")) {
    const auto text = store.ReadString("FTDI_ID_String");
    if (!text) throw ReadFailed{};
    s.usbIdString = *text;
  }
  s.usbIdEnabled = s.usbIdString.empty() ? false : Boolean(store, "FTDI_ID_StringEnable");

  // The placement is taken all together or not at all: a half-read set could
  // put the keypads somewhere that matches no window.
  const int top = Integer(store, "ApplicationTop");
  const int left = Integer(store, "ApplicationLeft");
  const int height = Integer(store, "ApplicationHeight");
  const int width = Integer(store, "ApplicationWidth");
  const int keyTop = Integer(store, "ApplicationKeypadTop");
  const int keyLeft = Integer(store, "ApplicationKeypadLeft");
  std::optional<int> jKeyTop, jKeyLeft;
  if (IsSerial(profile)) {
    jKeyTop = Integer(store, "ApplicationJKeypadTop");
    jKeyLeft = Integer(store, "ApplicationJKeypadLeft");
  }
  const bool keypadVisible = Boolean(store, "ApplicationKeypadVisible");
  const bool jKeypadVisible = Boolean(store, "ApplicationJKeypadVisible");
  s.top = top;
  s.left = left;
  s.height = height;
  s.width = width;
  s.keyTop = keyTop;
  s.keyLeft = keyLeft;
  if (jKeyTop) s.jKeyTop = *jKeyTop;
  if (jKeyLeft) s.jKeyLeft = *jKeyLeft;
  s.keypadVisible = keypadVisible;
  s.jKeypadVisible = jKeypadVisible;

  for (int n = 1; n <= kPresetCount; ++n) {
    auto& size = s.presetSize[static_cast<std::size_t>(n - 1)];
    size.height = Integer(store, PresetValueName(n, true).c_str());
    size.width = Integer(store, PresetValueName(n, false).c_str());
  }
  const int item = Integer(store, "ApplicationPresetItem");
  s.presetItem = item >= 1 && item <= kPresetCount ? item : profile.fallbackPresetItem;

  if (IsSerial(profile)) {
    const int comPort = Integer(store, "COM_ID");
    const int baudIndex = Integer(store, "ComBaudRate");
    // Only an edited store holds these; a port or rate that cannot exist is
    // treated as none chosen and as the usual rate.
    s.comPort = comPort >= 0 && comPort <= kMaxComPort ? comPort : 0;
    s.baudIndex = baudIndex >= 0 && baudIndex <= 6 ? baudIndex : 6;
  }
}

}  // namespace

std::string PresetValueName(int preset, bool height) {
  return "ApplicationPreset" + std::to_string(preset) + (height ? "Height" : "Width");
}

bool LoadSettings(SettingsStore& store, const BuildProfile& profile, PanelSettings& settings) {
  try {
    Read(store, profile, settings);
    return true;
  } catch (const ReadFailed&) {
    ApplyFallback(profile, settings);
    return false;
  }
}

void SaveSettings(SettingsStore& store, const BuildProfile& profile, const PanelSettings& s) {
  store.WriteString("FTDI_ID_String", s.usbIdString);
  store.WriteBool("FTDI_ID_StringEnable", s.usbIdEnabled);
  store.WriteInteger("ApplicationTop", s.top);
  store.WriteInteger("ApplicationLeft", s.left);
  store.WriteInteger("ApplicationHeight", s.height);
  store.WriteInteger("ApplicationWidth", s.width);
  if (IsSerial(profile)) {
    store.WriteInteger("ApplicationKeypadTop", s.keyTop);
    store.WriteInteger("ApplicationKeypadLeft", s.keyLeft);
    store.WriteInteger("ApplicationJKeypadTop", s.jKeyTop);
    store.WriteInteger("ApplicationJKeypadLeft", s.jKeyLeft);
  } else {
    // One place for both keypads: the shown one's, the basic one's when both
    // are shown; with neither shown the stored place stays.
    if (s.keypadVisible) {
      store.WriteInteger("ApplicationKeypadTop", s.keyTop);
      store.WriteInteger("ApplicationKeypadLeft", s.keyLeft);
    }
    if (s.jKeypadVisible) {
      store.WriteInteger("ApplicationKeypadTop", s.jKeyTop);
      store.WriteInteger("ApplicationKeypadLeft", s.jKeyLeft);
    }
  }
  store.WriteBool("ApplicationKeypadVisible", s.keypadVisible);
  store.WriteBool("ApplicationJKeypadVisible", s.jKeypadVisible);
  for (int n = 1; n <= kPresetCount; ++n) {
    const auto& size = s.presetSize[static_cast<std::size_t>(n - 1)];
    store.WriteInteger(PresetValueName(n, true), size.height);
    store.WriteInteger(PresetValueName(n, false), size.width);
  }
  store.WriteInteger("ApplicationPresetItem", s.presetItem);
  if (IsSerial(profile)) {
    store.WriteInteger("COM_ID", s.comPort);
    store.WriteInteger("ComBaudRate", s.baudIndex);
  }
}

}  // namespace amppanel
