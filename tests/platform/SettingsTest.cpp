#include <gtest/gtest.h>

#include "platform/Settings.h"
#include "tests/platform/SettingsSample.h"

namespace amppanel {
namespace {

// A store as a full save of these settings leaves it.
MemorySettingsStore SavedStore(const BuildProfile& profile, const PanelSettings& s) {
  MemorySettingsStore store;
  SaveSettings(store, profile, s);
  return store;
}

using test::Customised;

TEST(Settings, EmptyStoreStartsFromTheFallbackAndSavesNoPort) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    MemorySettingsStore store;
    PanelSettings s;
    EXPECT_FALSE(LoadSettings(store, *profile, s));
    EXPECT_EQ(s.presetItem, 3);
    EXPECT_EQ(s.presetSize[2], (PresetSize{283, 752}));
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.keyTop, 280);
    EXPECT_EQ(s.keyLeft, 0);
    EXPECT_TRUE(s.keypadVisible);
    EXPECT_FALSE(s.jKeypadVisible);
    EXPECT_TRUE(s.usbIdString.empty());
    EXPECT_FALSE(s.usbIdEnabled);

    SaveSettings(store, *profile, s);
    if (profile == &SerialProfile()) {
      EXPECT_EQ(store.ReadInteger("COM_ID"), 0);
      EXPECT_EQ(store.ReadInteger("ComBaudRate"), 6);
    } else {
      EXPECT_FALSE(store.Exists("COM_ID"));
      EXPECT_FALSE(store.Exists("ApplicationJKeypadTop"));
    }
  }
}

TEST(Settings, WhatIsSavedLoadsBackUnchanged) {
  const PanelSettings saved = Customised();
  MemorySettingsStore store = SavedStore(SerialProfile(), saved);
  PanelSettings loaded;
  EXPECT_TRUE(LoadSettings(store, SerialProfile(), loaded));
  EXPECT_EQ(loaded, saved);
}

TEST(Settings, PresetItemOutsideItsRangeLoadsAsTheProgramsOwnChoice) {
  for (int stored : {0, 6, -1}) {
    PanelSettings s = Customised();
    s.presetItem = stored;
    MemorySettingsStore serial = SavedStore(SerialProfile(), s);
    PanelSettings loaded;
    EXPECT_TRUE(LoadSettings(serial, SerialProfile(), loaded));
    EXPECT_EQ(loaded.presetItem, 3);
    MemorySettingsStore usb = SavedStore(UsbProfile(), s);
    EXPECT_TRUE(LoadSettings(usb, UsbProfile(), loaded));
    EXPECT_EQ(loaded.presetItem, 1);
  }
}

TEST(Settings, OneMissingOrMistypedValueFallsBackOnlyTheFieldsOfTheFallback) {
  const PanelSettings saved = Customised();
  for (const bool mistyped : {false, true}) {
    MemorySettingsStore store = SavedStore(SerialProfile(), saved);
    if (mistyped) {
      store.WriteString("ComBaudRate", "115200");
    } else {
      store.values.erase("ComBaudRate");
    }
    PanelSettings s;
    EXPECT_FALSE(LoadSettings(store, SerialProfile(), s));
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.presetSize, kDefaultPresetSize);
    EXPECT_EQ(s.presetItem, 3);
    EXPECT_EQ(s.keyTop, 280);
    EXPECT_EQ(s.keyLeft, 0);
    EXPECT_TRUE(s.keypadVisible);
    EXPECT_FALSE(s.jKeypadVisible);
    EXPECT_EQ(s.comPort, 0);
    EXPECT_EQ(s.baudIndex, 6);
    // Read before the failure and not part of the fallback: kept.
    EXPECT_EQ(s.jKeyTop, 370);
    EXPECT_EQ(s.jKeyLeft, 65);
    EXPECT_EQ(s.usbIdString, "KALDOR-7");
    EXPECT_TRUE(s.usbIdEnabled);
  }
}

TEST(Settings, FailureBeforeThePlacementIsReadKeepsTheBasicKeypadWhereItWas) {
  MemorySettingsStore store = SavedStore(SerialProfile(), Customised());
  store.values.erase("ApplicationKeypadVisible");
  PanelSettings s;
  s.jKeyTop = 11;
  s.jKeyLeft = 12;
  EXPECT_FALSE(LoadSettings(store, SerialProfile(), s));
  EXPECT_EQ(s.jKeyTop, 11) << "the placement is applied all together or not at all";
  EXPECT_EQ(s.height, 0);

  // The USB program leaves the basic keypad's shown state alone.
  MemorySettingsStore usb;
  PanelSettings u;
  u.jKeypadVisible = true;
  EXPECT_FALSE(LoadSettings(usb, UsbProfile(), u));
  EXPECT_TRUE(u.jKeypadVisible);
}

TEST(Settings, TheIdStringDecidesWhetherItsSwitchIsRead) {
  MemorySettingsStore store = SavedStore(SerialProfile(), Customised());
  store.WriteString("FTDI_ID_String", "");
  store.values.erase("FTDI_ID_StringEnable");  // not looked at for an empty string
  PanelSettings s;
  EXPECT_TRUE(LoadSettings(store, SerialProfile(), s));
  EXPECT_FALSE(s.usbIdEnabled);

  store.values.erase("FTDI_ID_String");  // missing text is empty text, not a failure
  EXPECT_TRUE(LoadSettings(store, SerialProfile(), s));

  store.WriteInteger("FTDI_ID_String", 5);  // but text of the wrong kind is a failure
  EXPECT_FALSE(LoadSettings(store, SerialProfile(), s));
}

TEST(Settings, PortAndRateOutsideTheirRangesLoadAsNoneAndTheUsualRate) {
  struct Case {
    int comPort, baudIndex, wantPort, wantBaud;
  };
  for (const Case c : {Case{256, 0, 256, 0}, Case{257, 7, 0, 6}, Case{-1, -1, 0, 6}}) {
    PanelSettings saved = Customised();
    saved.comPort = c.comPort;
    saved.baudIndex = c.baudIndex;
    MemorySettingsStore store = SavedStore(SerialProfile(), saved);
    PanelSettings s;
    EXPECT_TRUE(LoadSettings(store, SerialProfile(), s));
    EXPECT_EQ(s.comPort, c.wantPort);
    EXPECT_EQ(s.baudIndex, c.wantBaud);
    EXPECT_EQ(s.presetItem, 4) << "nothing else falls back";
  }
}

TEST(Settings, UsbSavesTheShownKeypadsPlaceAndKeepsTheStoredOneWhenNoneIsShown) {
  PanelSettings s = Customised();
  s.keypadVisible = true;
  s.jKeypadVisible = true;
  MemorySettingsStore store = SavedStore(UsbProfile(), s);
  EXPECT_EQ(store.ReadInteger("ApplicationKeypadTop"), 370) << "the basic keypad wins";
  s.jKeypadVisible = false;
  SaveSettings(store, UsbProfile(), s);
  EXPECT_EQ(store.ReadInteger("ApplicationKeypadTop"), 360);
  s.keypadVisible = false;
  s.keyTop = 1;
  SaveSettings(store, UsbProfile(), s);
  EXPECT_EQ(store.ReadInteger("ApplicationKeypadTop"), 360);
}

}  // namespace
}  // namespace amppanel
