// The serial program's link: COM port n is a local device, or a port on another
// machine when the ports folder names a connection for it. Which one is decided
// at each open, so a changed ports folder takes effect on the next connection.
#pragma once

#include <atomic>
#include <memory>

#include "link/Link.h"
#include "link/remote/RemoteLink.h"
#include "link/serial/SerialLink.h"

namespace amppanel {

class ComPortLink final : public Link {
 public:
  // `remoteTargets` maps a COM number to a connection string (empty: the port
  // is local); by default the ports folder decides.
  explicit ComPortLink(std::unique_ptr<SerialLink> local = std::make_unique<SerialLink>(),
                       std::unique_ptr<RemoteLink> remote = std::make_unique<RemoteLink>(),
                       PortResolver remoteTargets = {});

  int Open(const LinkSettings& settings) override;
  // The kind of port that went away is the one tried again: the local link
  // refuses a number that now names another device.
  int Reopen(const LinkSettings& settings) override { return Active().Reopen(settings); }
  void Close() override;
  bool IsOpen() const override { return Active().IsOpen(); }
  LinkResult Write(std::span<const std::uint8_t> data) override { return Active().Write(data); }
  LinkResult Read(std::span<std::uint8_t> buffer) override { return Active().Read(buffer); }
  int Purge() override { return Active().Purge(); }
  void ExpectReply(std::size_t bytes) override { Active().ExpectReply(bytes); }
  void LinePulse() override { Active().LinePulse(); }
  void LineRest() override { Active().LineRest(); }
  void InterruptReads(bool interrupted) override;
  std::string OpenFailureDetail() const override { return Active().OpenFailureDetail(); }

  // Whether the last open attempt went to another machine.
  bool Remote() const { return remoteActive_.load(); }

 private:
  Link& Active() const;

  std::unique_ptr<SerialLink> local_;
  std::unique_ptr<RemoteLink> remote_;
  PortResolver remoteTargets_;
  std::atomic<bool> remoteActive_{false};
};

}  // namespace amppanel
