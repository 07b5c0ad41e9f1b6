// An in-process link to a virtual amplifier, with the read behaviour of the
// serial link: a read call for n bytes ends after readConstant + n x
// readMultiplier, or readInterval after the last byte, and is repeated for the
// missing bytes as long as the previous call moved at least one. All times are
// divided by the engine's time divisor, so tests run the real timing scaled down.
#pragma once

#include <atomic>
#include <mutex>

#include "link/Link.h"
#include "sim/AmpEngine.h"

namespace amppanel {

struct SimLinkTimeouts {
  milliseconds readInterval{200};
  milliseconds readMultiplier{100};
  milliseconds readConstant{1000};
};

class SimLink final : public Link {
 public:
  explicit SimLink(AmpEngine& engine, SimLinkTimeouts timeouts = {});

  int Open(const LinkSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  // Fails with the I/O status once the engine has cut the link.
  LinkResult Write(std::span<const std::uint8_t> data) override;
  // Delivers what the engine sent before a cut, then fails with the I/O status.
  LinkResult Read(std::span<std::uint8_t> buffer) override;
  int Purge() override;
  void LinePulse() override;  // the amplifier's ON line high
  void LineRest() override;   // and low again

  // The next n opens fail (a port that is busy or missing).
  void FailOpens(int n) { failOpens_ = n; }
  int OpenCalls() const { return openCalls_; }

 private:
  struct Once {
    std::size_t count = 0;
    bool failed = false;
  };
  Once ReadOnce(std::span<std::uint8_t> buffer);
  std::chrono::steady_clock::duration Real(milliseconds nominal) const;

  AmpEngine& engine_;
  SimLinkTimeouts timeouts_;
  std::atomic<bool> open_{false};
  std::atomic<int> failOpens_{0};
  std::atomic<int> openCalls_{0};
  std::mutex writeMutex_;
};

}  // namespace amppanel
