// The settings store of the Qt programs: QSettings in its native format (an
// INI file under the XDG configuration folder on Linux, the registry key on
// Windows).
#pragma once

#include <QSettings>

#include "platform/SettingsStore.h"

namespace amppanel {

struct BuildProfile;

class QtSettingsStore final : public SettingsStore {
 public:
  explicit QtSettingsStore(const BuildProfile& profile);
  // A store in the given INI file (tests).
  explicit QtSettingsStore(const QString& iniFile);

  bool Exists(const std::string& name) override;
  std::optional<std::int32_t> ReadInteger(const std::string& name) override;
  std::optional<bool> ReadBool(const std::string& name) override;
  std::optional<std::string> ReadString(const std::string& name) override;
  void WriteInteger(const std::string& name, std::int32_t value) override;
  void WriteBool(const std::string& name, bool value) override;
  void WriteString(const std::string& name, const std::string& value) override;
  bool Flush() override;

  QSettings& Settings() { return settings_; }

 private:
  QSettings settings_;
};

}  // namespace amppanel
