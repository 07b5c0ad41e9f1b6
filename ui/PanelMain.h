// The program entry shared by both programs.
#pragma once

#include <functional>
#include <memory>

#include "core/BuildProfile.h"
#include "link/Link.h"

namespace amppanel {

// Runs the program: a second copy brings the first to the front and ends
// without a window; the first copy connects by itself once its windows exist.
// Returns 0 in every case.
int RunPanel(int& argc, char** argv, const BuildProfile& profile,
             const std::function<std::unique_ptr<Link>()>& makeLink);

}  // namespace amppanel
