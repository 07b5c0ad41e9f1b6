#include "platform/LocalSingleInstance.h"
#include "platform/PlatformServices.h"
#include "platform/QtSettingsStore.h"

namespace amppanel {

std::unique_ptr<SettingsStore> MakeSettingsStore(const BuildProfile& profile) {
  return std::make_unique<QtSettingsStore>(profile);
}

std::unique_ptr<SingleInstance> MakeSingleInstance(const BuildProfile& profile) {
  return std::make_unique<LocalSingleInstance>(profile);
}

}  // namespace amppanel
