#include "platform/SettingsStore.h"

namespace amppanel {

std::optional<std::int32_t> MemorySettingsStore::ReadInteger(const std::string& name) {
  const auto it = values.find(name);
  if (it == values.end() || !std::holds_alternative<std::int32_t>(it->second)) return std::nullopt;
  return std::get<std::int32_t>(it->second);
}

std::optional<bool> MemorySettingsStore::ReadBool(const std::string& name) {
  const auto value = ReadInteger(name);
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<std::string> MemorySettingsStore::ReadString(const std::string& name) {
  const auto it = values.find(name);
  if (it == values.end() || !std::holds_alternative<std::string>(it->second)) return std::nullopt;
  return std::get<std::string>(it->second);
}

void MemorySettingsStore::WriteInteger(const std::string& name, std::int32_t value) {
  values[name] = value;
}

void MemorySettingsStore::WriteBool(const std::string& name, bool value) {
  values[name] = std::int32_t{value ? 1 : 0};
}

void MemorySettingsStore::WriteString(const std::string& name, const std::string& value) {
  values[name] = value;
}

}  // namespace amppanel
