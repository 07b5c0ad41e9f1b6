// Builds without the gensio library (and the Windows build, where COM numbers
// are the system's own ports) reach no remote port; saying so is all they do.
#include <utility>

#include "link/LinkStatus.h"
#include "link/remote/RemoteLink.h"

namespace amppanel {

struct RemoteLink::Impl {
  PortResolver targets;
};

RemoteLink::RemoteLink(PortResolver targets, SerialTimeouts /*timeouts*/,
                       milliseconds /*openTimeout*/)
    : impl_(std::make_unique<Impl>(Impl{std::move(targets)})) {}

RemoteLink::~RemoteLink() = default;

bool RemoteLink::Available() { return false; }

int RemoteLink::Open(const LinkSettings& /*settings*/) { return kLinkCantOpen; }
int RemoteLink::Reopen(const LinkSettings& /*settings*/) { return kLinkCantOpen; }
void RemoteLink::Close() {}
bool RemoteLink::IsOpen() const { return false; }
LinkResult RemoteLink::Write(std::span<const std::uint8_t> /*data*/) { return {kLinkIoError, 0}; }
LinkResult RemoteLink::Read(std::span<std::uint8_t> /*buffer*/) { return {kLinkIoError, 0}; }
int RemoteLink::Purge() { return kLinkOk; }
void RemoteLink::LinePulse() {}
void RemoteLink::LineRest() {}
void RemoteLink::InterruptReads(bool /*interrupted*/) {}

std::string RemoteLink::OpenFailureDetail() const {
  return "This build of the program cannot reach serial ports on other machines "
         "(it was built without the gensio library).";
}

}  // namespace amppanel
