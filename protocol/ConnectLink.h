// The connection sequence, run on a one-shot worker.
#pragma once

#include <functional>

#include "core/BuildProfile.h"
#include "core/OneShotWorker.h"
#include "link/Link.h"
#include "link/LinkStatus.h"

namespace amppanel {

inline constexpr int kConnectAttempts = 100;
inline constexpr milliseconds kConnectPacing{300};

struct ConnectContext {
  Link& link;
  const BuildProfile& profile;
  LinkSettings settings;
  // Whether the progress window is still shown; hiding it aborts the sequence.
  // Called on the worker, so it must be safe to call from any thread.
  std::function<bool()> progressVisible;
  // Shows a failure to the operator; called on the worker, which it may block.
  std::function<void(const FT_Exception&)> reportLinkFailure;
};

// Opens the link with up to 100 attempts 300 ms apart, reporting "RUN" after
// each attempt, "HALT" when the attempts are over, then "DONE" on success or
// "EXCEPT" followed by reportLinkFailure on failure.
void ConnectLink(OneShotWorker& thread, const ConnectContext& context);

}  // namespace amppanel
