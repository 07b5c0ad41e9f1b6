// The settings store and the single-instance guard of this platform, for the
// program entry: QSettings and a lock file with a local socket on Linux, the
// registry and a named mutex with window messages on Windows.
#pragma once

#include <memory>
#include <string>

#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"

namespace amppanel {

struct BuildProfile;

// settingsFile: another settings file instead of the usual store (empty: the
// usual one); given only where SettingsFileSelectable() says so.
std::unique_ptr<SettingsStore> MakeSettingsStore(const BuildProfile& profile,
                                                 const std::string& settingsFile = {});
// Whether the settings may live in a file of the user's choice: on Linux they
// are a file anyway; the registry has no such place.
bool SettingsFileSelectable();
// Create it on the thread that runs the event loop.
std::unique_ptr<SingleInstance> MakeSingleInstance(const BuildProfile& profile);

}  // namespace amppanel
