// The program entry shared by both programs.
#pragma once

#include <functional>
#include <memory>

#include "core/BuildProfile.h"
#include "link/Link.h"
#include "ui/ConnectionDialog.h"

namespace amppanel {

class MainWindow;

// Runs the program: a second copy brings the first to the front and ends
// without a window; the first copy connects by itself once its windows exist.
// --help and --version answer without a window. Returns the exit status: 0, or
// kExitUsage for wrong arguments (after a message on standard error).
// makeDialog makes the program's connection settings dialog over the main
// window (none: the action only asks for one).
int RunPanel(int& argc, char** argv, const BuildProfile& profile,
             const std::function<std::unique_ptr<Link>()>& makeLink,
             const std::function<std::unique_ptr<ConnectionDialog>(MainWindow&)>& makeDialog = {});

}  // namespace amppanel
