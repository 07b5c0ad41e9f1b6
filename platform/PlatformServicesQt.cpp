#include "platform/LocalSingleInstance.h"
#include "platform/PlatformServices.h"
#include "platform/QtSettingsStore.h"

namespace amppanel {

std::unique_ptr<SettingsStore> MakeSettingsStore(const BuildProfile& profile,
                                                 const std::string& settingsFile) {
  // The usual store is an INI file too: a profile file can be a copy of it.
  if (!settingsFile.empty()) {
    return std::make_unique<QtSettingsStore>(QString::fromLocal8Bit(settingsFile));
  }
  return std::make_unique<QtSettingsStore>(profile);
}

bool SettingsFileSelectable() { return true; }

std::unique_ptr<SingleInstance> MakeSingleInstance(const BuildProfile& profile) {
  return std::make_unique<LocalSingleInstance>(profile);
}

}  // namespace amppanel
