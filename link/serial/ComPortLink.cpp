#include "link/serial/ComPortLink.h"

#include "link/serial/ComPortNames.h"

namespace amppanel {

ComPortLink::ComPortLink(std::unique_ptr<SerialLink> local, std::unique_ptr<RemoteLink> remote,
                         PortResolver remoteTargets)
    : local_(std::move(local)),
      remote_(std::move(remote)),
      remoteTargets_(remoteTargets ? std::move(remoteTargets) : PortResolver(ComRemoteTarget)) {}

Link& ComPortLink::Active() const {
  if (remoteActive_.load()) return *remote_;
  return *local_;
}

int ComPortLink::Open(const LinkSettings& settings) {
  Close();
  remoteActive_.store(!remoteTargets_(settings.comPort).empty());
  return Active().Open(settings);
}

void ComPortLink::Close() {
  local_->Close();
  remote_->Close();
}

void ComPortLink::InterruptReads(bool interrupted) {
  // Both: a stop request may come while the choice changes.
  local_->InterruptReads(interrupted);
  remote_->InterruptReads(interrupted);
}

}  // namespace amppanel
