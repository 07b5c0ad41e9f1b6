// The connection sequence, run on a one-shot worker.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/BuildProfile.h"
#include "core/OneShotWorker.h"
#include "link/Link.h"
#include "link/LinkStatus.h"

namespace amppanel {

inline constexpr int kConnectAttempts = 100;
inline constexpr milliseconds kConnectPacing{300};

// How far the sequence has come; the progress window follows it.
enum class ConnectStep {
  kAttempted,     // one more attempt to open the link was made
  kAttemptsOver,  // no more attempts follow; success or failure comes next
};

struct ConnectContext {
  Link& link;
  const BuildProfile& profile;
  LinkSettings settings;
  // Whether the operator still wants the connection (the progress window is
  // shown); false aborts after the current attempt. Called on the worker.
  std::function<bool()> stillWanted;
  // Called on the worker at each step; the caller hands it to the UI thread.
  std::function<void(ConnectStep)> progress;
};

// Opens the link with up to 100 attempts 300 ms apart and configures it.
// Returns nothing on success, else the failure's text for the operator (the
// link's own detail of a failed open below it); a link that opened but failed
// its configuration is closed again.
std::optional<std::string> ConnectLink(OneShotWorker& thread, const ConnectContext& context);

}  // namespace amppanel
