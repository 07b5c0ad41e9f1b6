// The settings store and the single-instance guard of this platform, for the
// program entry: QSettings and a lock file with a local socket on Linux, the
// registry and a named mutex with window messages on Windows.
#pragma once

#include <memory>

#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"

namespace amppanel {

struct BuildProfile;

std::unique_ptr<SettingsStore> MakeSettingsStore(const BuildProfile& profile);
// Create it on the thread that runs the event loop.
std::unique_ptr<SingleInstance> MakeSingleInstance(const BuildProfile& profile);

}  // namespace amppanel
