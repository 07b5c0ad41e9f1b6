// The settings store of the Windows programs: one registry key below
// HKEY_CURRENT_USER, created when missing. Integers and booleans are DWORD
// values, text is a string value; a value of any other type reads as a failure,
// as a missing one does.
#pragma once

#include <string>
#include <string_view>

#include "platform/SettingsStore.h"

namespace amppanel {

struct BuildProfile;

class RegistrySettingsStore final : public SettingsStore {
 public:
  explicit RegistrySettingsStore(const BuildProfile& profile);
  // Any key below HKEY_CURRENT_USER (tests use keys of their own).
  explicit RegistrySettingsStore(std::string_view keyPath);
  ~RegistrySettingsStore() override;
  RegistrySettingsStore(const RegistrySettingsStore&) = delete;
  RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

  // False when the key could neither be opened nor created: every read then
  // fails and every write is lost.
  bool IsOpen() const { return key_ != nullptr; }

  bool Exists(const std::string& name) override;
  std::optional<std::int32_t> ReadInteger(const std::string& name) override;
  std::optional<bool> ReadBool(const std::string& name) override;
  std::optional<std::string> ReadString(const std::string& name) override;
  void WriteInteger(const std::string& name, std::int32_t value) override;
  void WriteBool(const std::string& name, bool value) override;
  void WriteString(const std::string& name, const std::string& value) override;
  // True when the key is open and every write since the last Flush was stored.
  bool Flush() override;

 private:
  void* key_ = nullptr;  // HKEY, kept out of this header with <windows.h>
  bool writeFailed_ = false;
};

}  // namespace amppanel
