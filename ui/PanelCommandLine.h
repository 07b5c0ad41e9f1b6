// The command line of both panel programs, read before anything touches the
// display, the single-instance guard or the settings: --help and --version must
// answer on a machine without a display and leave no trace.
#pragma once

#include <QStringList>
#include <string>

namespace amppanel {

struct BuildProfile;

struct PanelCommand {
  enum class Kind { kRun, kHelp, kVersion, kError };
  Kind kind = Kind::kRun;
  // The help or version text for standard output, or the error for standard
  // error (without the program name).
  std::string text;
  // Another settings file (absolute); empty for the usual store.
  std::string settingsFile;
};

// Exit status of a program that was called with wrong arguments.
inline constexpr int kExitUsage = 2;

// arguments as the program got them, its path first. The toolkit's own options
// (-platform, -style ...) are accepted and left to it. settingsFileOption:
// whether this platform offers --settings.
PanelCommand ReadPanelCommandLine(const BuildProfile& profile, const QStringList& arguments,
                                  bool settingsFileOption);

}  // namespace amppanel
