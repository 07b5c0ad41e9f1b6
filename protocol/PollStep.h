// One display poll: query the amplifier, read and check its reply.
#pragma once

#include <string>

#include "core/BuildProfile.h"
#include "link/Link.h"
#include "protocol/PollState.h"

namespace amppanel {

// Runs on the poll worker. A reply that passes every check leaves its data at
// the start of ReplyBuffer, its status in StatusByte and FrameReady set. A reply
// that does not begin with AA AA AA sets SyncLost; any other bad reply is
// dropped silently. A link failure (raised only where the profile examines link
// statuses) leaves its text in linkErrorText and sets LinkFailed.
void PollOnce(Link& link, const BuildProfile& profile, PollState& state,
              std::string& linkErrorText);

}  // namespace amppanel
