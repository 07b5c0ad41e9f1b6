#include "sim/SimLink.h"

#include <algorithm>

#include "link/LinkStatus.h"

namespace amppanel {

using Steady = std::chrono::steady_clock;

SimLink::SimLink(AmpEngine& engine, SimLinkTimeouts timeouts)
    : engine_(engine), timeouts_(timeouts) {}

int SimLink::Open(const LinkSettings& /*settings*/) {
  ++openCalls_;
  if (failOpens_ > 0) {
    --failOpens_;
    return kLinkCantOpen;
  }
  open_ = true;
  return kLinkOk;
}

void SimLink::Close() { open_ = false; }

bool SimLink::IsOpen() const { return open_; }

Steady::duration SimLink::Real(milliseconds nominal) const {
  return std::chrono::duration_cast<Steady::duration>(nominal) / engine_.TimeDivisor();
}

LinkResult SimLink::Write(std::span<const std::uint8_t> data) {
  if (!open_ || engine_.LinkCut()) return {kLinkIoError, 0};
  // One write call reaches the amplifier whole, never interleaved with another.
  std::lock_guard lock(writeMutex_);
  engine_.Feed(data);
  return {kLinkOk, data.size()};
}

SimLink::Once SimLink::ReadOnce(std::span<std::uint8_t> buffer) {
  Once r;
  const auto start = Steady::now();
  const auto deadline = start + Real(timeouts_.readConstant +
                                     timeouts_.readMultiplier * static_cast<long>(buffer.size()));
  auto lastByte = start;
  while (r.count < buffer.size()) {
    const std::size_t got = engine_.Take(buffer.subspan(r.count));
    const auto now = Steady::now();
    if (got > 0) {
      r.count += got;
      lastByte = now;
      continue;
    }
    if (engine_.LinkCut() && !engine_.HasPendingOutput()) {
      r.failed = true;
      break;
    }
    auto limit = deadline;
    if (r.count > 0) limit = std::min(limit, lastByte + Real(timeouts_.readInterval));
    if (now >= limit) break;
    engine_.WaitForOutput(limit - now);
  }
  return r;
}

LinkResult SimLink::Read(std::span<std::uint8_t> buffer) {
  if (!open_) return {kLinkIoError, 0};
  LinkResult result;
  for (;;) {
    const Once once = ReadOnce(buffer.subspan(result.count));
    result.count += once.count;
    if (once.failed) {
      result.status = kLinkIoError;
      break;
    }
    if (once.count == 0 || result.count >= buffer.size()) break;
  }
  return result;
}

int SimLink::Purge() {
  if (open_) engine_.Purge();
  return kLinkOk;
}

void SimLink::LinePulse() {
  if (open_) engine_.SetOnLine(true);
}

void SimLink::LineRest() {
  if (open_) engine_.SetOnLine(false);
}

}  // namespace amppanel
