#include "platform/PlatformServices.h"
#include "platform/RegistrySettingsStore.h"
#include "platform/Win32SingleInstance.h"

namespace amppanel {

std::unique_ptr<SettingsStore> MakeSettingsStore(const BuildProfile& profile,
                                                 const std::string& /*settingsFile*/) {
  // Never given here: SettingsFileSelectable() keeps --settings off the
  // command line.
  return std::make_unique<RegistrySettingsStore>(profile);
}

bool SettingsFileSelectable() { return false; }

std::unique_ptr<SingleInstance> MakeSingleInstance(const BuildProfile& profile) {
  return std::make_unique<Win32SingleInstance>(profile);
}

}  // namespace amppanel
