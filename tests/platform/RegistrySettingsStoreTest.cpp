// The registry store and the settings algorithms against the real registry
// (wine's, in CI), in keys of the tests' own that are removed afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/RegistrySettingsStore.h"
#include "platform/Settings.h"
#include "tests/platform/SettingsSample.h"

namespace amppanel {
namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\Norvik\\AmpPanelTest_" + std::to_string(::GetCurrentProcessId()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Delete();
  }
  void TearDown() override { Delete(); }
  void Delete() const { ::RegDeleteTreeW(HKEY_CURRENT_USER, Wide(path_).c_str()); }

  // Writes a value of any type behind the store's back.
  void Raw(const std::string& name, DWORD type, const void* data, DWORD size) const {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path_).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(
        ::RegSetValueExW(key, Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size),
        ERROR_SUCCESS);
    ::RegCloseKey(key);
  }
  void RawText(const std::string& name, const std::wstring& text) const {
    Raw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  // The type the registry holds for a value, REG_NONE when there is none.
  DWORD TypeOf(const std::string& name) const {
    DWORD type = REG_NONE;
    if (::RegGetValueW(HKEY_CURRENT_USER, Wide(path_).c_str(), Wide(name).c_str(), RRF_RT_ANY,
                       &type, nullptr, nullptr) != ERROR_SUCCESS) {
      return REG_NONE;
    }
    return type;
  }
  bool KeyExists() const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path_).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
      return false;
    }
    ::RegCloseKey(key);
    return true;
  }

  std::string path_;
};

TEST_F(RegistryTest, CreatesTheKeyAndStoresEachKindAsItsRegistryType) {
  ASSERT_FALSE(KeyExists());
  {
    RegistrySettingsStore store(path_);
    ASSERT_TRUE(store.IsOpen());
    EXPECT_TRUE(KeyExists());
    store.WriteInteger("Number", -2);
    store.WriteBool("Yes", true);
    store.WriteBool("No", false);
    store.WriteString("Text", "KALDOR-7 \xc3\xa9");  // UTF-8 e-acute
    store.WriteString("Empty", "");
    EXPECT_TRUE(store.Flush());
  }
  EXPECT_EQ(TypeOf("Number"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(TypeOf("Yes"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(TypeOf("Text"), static_cast<DWORD>(REG_SZ));
  DWORD yes = 7;
  DWORD size = sizeof yes;
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, Wide(path_).c_str(), L"Yes", RRF_RT_REG_DWORD,
                           nullptr, &yes, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(yes, 1u) << "booleans are stored as 0 or 1";

  // A later run (a new store on the same key) reads it all back.
  RegistrySettingsStore again(path_);
  EXPECT_EQ(again.ReadInteger("Number"), -2);
  EXPECT_EQ(again.ReadBool("Yes"), true);
  EXPECT_EQ(again.ReadBool("No"), false);
  EXPECT_EQ(again.ReadString("Text"), "KALDOR-7 \xc3\xa9");
  EXPECT_EQ(again.ReadString("Empty"), "");
  EXPECT_TRUE(again.Exists("Empty"));
  EXPECT_FALSE(again.Exists("Missing"));
  EXPECT_EQ(again.ReadInteger("Missing"), std::nullopt);
  EXPECT_EQ(again.ReadString("Missing"), std::nullopt);
}

TEST_F(RegistryTest, AValueOfAnotherTypeReadsAsAFailure) {
  RawText("TextNumber", L"115200");
  const std::uint64_t wide = 5;
  Raw("Qword", REG_QWORD, &wide, sizeof wide);
  const DWORD five = 5;
  Raw("Binary", REG_BINARY, &five, sizeof five);
  Raw("Dword", REG_DWORD, &five, sizeof five);
  Raw("Expand", REG_EXPAND_SZ, L"%TEMP%", 7 * sizeof(wchar_t));

  RegistrySettingsStore store(path_);
  EXPECT_EQ(store.ReadInteger("TextNumber"), std::nullopt);
  EXPECT_EQ(store.ReadBool("TextNumber"), std::nullopt);
  EXPECT_EQ(store.ReadInteger("Qword"), std::nullopt);
  EXPECT_EQ(store.ReadInteger("Binary"), std::nullopt) << "four bytes, but not a DWORD";
  EXPECT_EQ(store.ReadString("Dword"), std::nullopt);
  EXPECT_EQ(store.ReadString("Expand"), std::nullopt);
  EXPECT_EQ(store.ReadInteger("Dword"), 5);
  for (const char* name : {"TextNumber", "Qword", "Binary", "Dword", "Expand"}) {
    EXPECT_TRUE(store.Exists(name)) << name;
  }
}

TEST_F(RegistryTest, TextIsReadWholeWhateverItsLengthAndTermination) {
  const std::wstring longText(3000, L'x');
  RawText("Long", longText);
  Raw("Unterminated", REG_SZ, L"ABCD", 4 * sizeof(wchar_t));
  Raw("TwoStrings", REG_SZ, L"AB\0CD\0", 6 * sizeof(wchar_t));
  RegistrySettingsStore store(path_);
  EXPECT_EQ(store.ReadString("Long"), std::string(3000, 'x'));
  EXPECT_EQ(store.ReadString("Unterminated"), "ABCD");
  EXPECT_EQ(store.ReadString("TwoStrings"), "AB");
}

TEST_F(RegistryTest, AKeyThatCannotBeOpenedFailsEveryReadAndReportsLostWrites) {
  // A name component longer than the registry allows (255 characters).
  RegistrySettingsStore store(path_ + "\\" + std::string(300, 'k'));
  ASSERT_FALSE(store.IsOpen());
  EXPECT_FALSE(store.Exists("ApplicationTop"));
  EXPECT_EQ(store.ReadInteger("ApplicationTop"), std::nullopt);
  store.WriteInteger("ApplicationTop", 1);
  EXPECT_FALSE(store.Flush());

  RegistrySettingsStore good(path_);
  good.WriteInteger("ApplicationTop", 1);
  EXPECT_TRUE(good.Flush());
}

// The settings algorithms on a real key.

using test::Customised;

TEST_F(RegistryTest, FirstRunWithAnEmptyKeyStartsFromTheFallbackAndSavesDwords) {
  PanelSettings s;
  {
    RegistrySettingsStore store(path_);
    EXPECT_FALSE(LoadSettings(store, SerialProfile(), s));
    SaveSettings(store, SerialProfile(), s);
    EXPECT_TRUE(store.Flush());
  }
  EXPECT_EQ(s.presetItem, 3);
  EXPECT_EQ(s.presetSize[2], (PresetSize{283, 752}));
  EXPECT_EQ(s.keyTop, 280);
  EXPECT_TRUE(s.keypadVisible);
  EXPECT_FALSE(s.jKeypadVisible);
  EXPECT_EQ(TypeOf("FTDI_ID_String"), static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(TypeOf("FTDI_ID_StringEnable"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(TypeOf("ApplicationKeypadVisible"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(TypeOf("ComBaudRate"), static_cast<DWORD>(REG_DWORD));
  RegistrySettingsStore reread(path_);
  EXPECT_EQ(reread.ReadInteger("COM_ID"), 0);
  EXPECT_EQ(reread.ReadInteger("ComBaudRate"), 6);
  PanelSettings second;
  EXPECT_TRUE(LoadSettings(reread, SerialProfile(), second)) << "the second run reads all";
}

TEST_F(RegistryTest, WhatEachProgramSavesLoadsBackUnchanged) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    Delete();
    PanelSettings saved = Customised();
    if (profile == &UsbProfile()) {
      // One place for both keypads, saved only from a shown one.
      saved.keypadVisible = true;
      saved.jKeypadVisible = false;
      saved.comPort = 0;
      saved.baudIndex = 6;
    }
    {
      RegistrySettingsStore store(path_);
      SaveSettings(store, *profile, saved);
    }
    RegistrySettingsStore store(path_);
    PanelSettings loaded;
    loaded.jKeyTop = saved.jKeyTop;
    loaded.jKeyLeft = saved.jKeyLeft;
    EXPECT_TRUE(LoadSettings(store, *profile, loaded)) << profile->programName;
    EXPECT_EQ(loaded, saved) << profile->programName;
  }
}

TEST_F(RegistryTest, OneMissingOrMistypedValueAppliesTheFallbackAndKeepsTheRest) {
  for (const bool mistyped : {false, true}) {
    Delete();
    {
      RegistrySettingsStore store(path_);
      SaveSettings(store, SerialProfile(), Customised());
    }
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path_).c_str(), 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    ::RegDeleteValueW(key, L"ComBaudRate");
    ::RegCloseKey(key);
    if (mistyped) RawText("ComBaudRate", L"6");

    RegistrySettingsStore store(path_);
    PanelSettings s;
    EXPECT_FALSE(LoadSettings(store, SerialProfile(), s)) << "mistyped: " << mistyped;
    // The fallback set (the rest of it is the algorithm's own test) ...
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.presetSize, kDefaultPresetSize);
    EXPECT_EQ(s.presetItem, 3);
    EXPECT_EQ(s.comPort, 0);
    EXPECT_EQ(s.baudIndex, 6);
    // ... and what was read before the failure and is not part of it.
    EXPECT_EQ(s.jKeyTop, 370);
    EXPECT_EQ(s.usbIdString, "KALDOR-7");
  }
}

TEST_F(RegistryTest, IdStringOfAnotherTypeIsAFailureButAMissingOneIsNot) {
  {
    RegistrySettingsStore store(path_);
    SaveSettings(store, SerialProfile(), Customised());
  }
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path_).c_str(), 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  ::RegDeleteValueW(key, L"FTDI_ID_String");
  ::RegCloseKey(key);
  {
    RegistrySettingsStore store(path_);
    PanelSettings s;
    EXPECT_TRUE(LoadSettings(store, SerialProfile(), s));
    EXPECT_EQ(s.usbIdString, "");
    EXPECT_FALSE(s.usbIdEnabled);
  }
  const DWORD number = 5;
  Raw("FTDI_ID_String", REG_DWORD, &number, sizeof number);
  RegistrySettingsStore store(path_);
  PanelSettings s;
  EXPECT_FALSE(LoadSettings(store, SerialProfile(), s));
  EXPECT_EQ(s.presetItem, 3);
}

}  // namespace
}  // namespace amppanel
