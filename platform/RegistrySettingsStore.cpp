#include "platform/RegistrySettingsStore.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "core/BuildProfile.h"

namespace amppanel {
namespace {

HKEY Key(void* key) { return static_cast<HKEY>(key); }

// Names and text are UTF-8 here and UTF-16 in the registry, so that an ID
// string survives whatever the system's ANSI code page is.
std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                        nullptr, nullptr);
  return narrow;
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(const BuildProfile& profile)
    : RegistrySettingsStore(profile.registryKey) {}

RegistrySettingsStore::RegistrySettingsStore(std::string_view keyPath) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(keyPath).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
    key_ = key;
  }
}

RegistrySettingsStore::~RegistrySettingsStore() {
  if (key_ != nullptr) ::RegCloseKey(Key(key_));
}

bool RegistrySettingsStore::Exists(const std::string& name) {
  if (key_ == nullptr) return false;
  return ::RegQueryValueExW(Key(key_), Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

std::optional<std::int32_t> RegistrySettingsStore::ReadInteger(const std::string& name) {
  if (key_ == nullptr) return std::nullopt;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG rc = ::RegQueryValueExW(Key(key_), Wide(name).c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<bool> RegistrySettingsStore::ReadBool(const std::string& name) {
  const auto value = ReadInteger(name);
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<std::string> RegistrySettingsStore::ReadString(const std::string& name) {
  if (key_ == nullptr) return std::nullopt;
  const std::wstring wideName = Wide(name);
  std::vector<wchar_t> data(64);
  for (;;) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LONG rc = ::RegQueryValueExW(Key(key_), wideName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc == ERROR_MORE_DATA) {
      // The value may grow again before the next try; ask again at its new size.
      data.resize(std::max<std::size_t>(size / sizeof(wchar_t) + 1, data.size() * 2));
      continue;
    }
    if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    // The stored data need not end with a terminator, or may hold several.
    std::wstring_view text(data.data(), size / sizeof(wchar_t));
    if (const auto end = text.find(L'\0'); end != std::wstring_view::npos) {
      text = text.substr(0, end);
    }
    return Narrow(text);
  }
}

void RegistrySettingsStore::WriteInteger(const std::string& name, std::int32_t value) {
  const DWORD data = static_cast<DWORD>(value);
  if (key_ == nullptr ||
      ::RegSetValueExW(Key(key_), Wide(name).c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&data), sizeof data) != ERROR_SUCCESS) {
    writeFailed_ = true;
  }
}

void RegistrySettingsStore::WriteBool(const std::string& name, bool value) {
  WriteInteger(name, value ? 1 : 0);
}

void RegistrySettingsStore::WriteString(const std::string& name, const std::string& value) {
  const std::wstring text = Wide(value);
  const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  if (key_ == nullptr ||
      ::RegSetValueExW(Key(key_), Wide(name).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), size) != ERROR_SUCCESS) {
    writeFailed_ = true;
  }
}

bool RegistrySettingsStore::Flush() {
  const bool stored = key_ != nullptr && !writeFailed_;
  writeFailed_ = false;
  return stored;
}

}  // namespace amppanel
