#include "platform/QtSettingsStore.h"

#include "core/BuildProfile.h"

namespace amppanel {
namespace {

QString Key(const std::string& name) { return QString::fromStdString(name); }

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtSettingsStore::QtSettingsStore(const BuildProfile& profile)
    : settings_(Text(profile.settingsOrganisation), Text(profile.settingsApplication)) {}

QtSettingsStore::QtSettingsStore(const QString& iniFile)
    : settings_(iniFile, QSettings::IniFormat) {}

bool QtSettingsStore::Exists(const std::string& name) { return settings_.contains(Key(name)); }

std::optional<std::int32_t> QtSettingsStore::ReadInteger(const std::string& name) {
  const QVariant value = settings_.value(Key(name));
  if (!value.isValid()) return std::nullopt;
  // An INI file holds text; a value that is not a whole number in range counts
  // as one of the wrong kind.
  bool ok = false;
  const int number = value.toString().trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return number;
}

std::optional<bool> QtSettingsStore::ReadBool(const std::string& name) {
  const auto number = ReadInteger(name);
  if (!number) return std::nullopt;
  return *number != 0;
}

std::optional<std::string> QtSettingsStore::ReadString(const std::string& name) {
  const QVariant value = settings_.value(Key(name));
  if (!value.isValid() || !value.canConvert<QString>()) return std::nullopt;
  return value.toString().toStdString();
}

void QtSettingsStore::WriteInteger(const std::string& name, std::int32_t value) {
  settings_.setValue(Key(name), value);
}

void QtSettingsStore::WriteBool(const std::string& name, bool value) {
  settings_.setValue(Key(name), value ? 1 : 0);
}

void QtSettingsStore::WriteString(const std::string& name, const std::string& value) {
  settings_.setValue(Key(name), QString::fromStdString(value));
}

bool QtSettingsStore::Flush() {
  // QSettings writes a new file and renames it over the old one, so a crash
  // or a full disk leaves the previous settings, never half of the new ones.
  settings_.sync();
  return settings_.status() == QSettings::NoError;
}

}  // namespace amppanel
