// Where the operator's settings live between runs: the registry key on
// Windows, an INI file elsewhere, memory in tests. The settings algorithms see
// nothing but this.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace amppanel {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Whether a value of that name is stored at all, whatever its kind.
  virtual bool Exists(const std::string& name) = 0;
  // Each read fails (nullopt) when the value is missing or is not of the kind
  // asked for: a text where an integer is expected fails like a missing value.
  virtual std::optional<std::int32_t> ReadInteger(const std::string& name) = 0;
  virtual std::optional<bool> ReadBool(const std::string& name) = 0;
  virtual std::optional<std::string> ReadString(const std::string& name) = 0;

  // Integers and booleans are stored as integers (0 or 1), text as text.
  virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
  virtual void WriteBool(const std::string& name, bool value) = 0;
  virtual void WriteString(const std::string& name, const std::string& value) = 0;

  // Makes the writes durable; false when they could not be stored.
  virtual bool Flush() { return true; }
};

// A store in memory, for tests and as the model of what a store holds.
class MemorySettingsStore final : public SettingsStore {
 public:
  using Value = std::variant<std::int32_t, std::string>;

  bool Exists(const std::string& name) override { return values.count(name) != 0; }
  std::optional<std::int32_t> ReadInteger(const std::string& name) override;
  std::optional<bool> ReadBool(const std::string& name) override;
  std::optional<std::string> ReadString(const std::string& name) override;
  void WriteInteger(const std::string& name, std::int32_t value) override;
  void WriteBool(const std::string& name, bool value) override;
  void WriteString(const std::string& name, const std::string& value) override;

  std::map<std::string, Value> values;
};

}  // namespace amppanel
