// libFuzzer target: the display-reply checks of the poll step (PollOnce) on
// arbitrary bytes from the amplifier. The first byte picks the program (bit 0)
// and how many bytes one link read returns at most (bits 1-3; 0: all there
// are) and whether a read fails with an I/O status (bits 4-7 give the read's
// number, 0: none). The rest is what the amplifier sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "link/Link.h"
#include "link/LinkStatus.h"
#include "protocol/PollStep.h"

namespace {

class MemoryLink final : public amppanel::Link {
 public:
  MemoryLink(std::span<const std::uint8_t> input, std::size_t chunk, int failingRead)
      : input_(input), chunk_(chunk), failingRead_(failingRead) {}
  int Open(const amppanel::LinkSettings&) override { return 0; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  amppanel::LinkResult Write(std::span<const std::uint8_t> data) override {
    return {0, data.size()};
  }
  amppanel::LinkResult Read(std::span<std::uint8_t> buffer) override {
    if (++reads_ == failingRead_) return {amppanel::kLinkIoError, 0};
    std::size_t n = std::min(buffer.size(), input_.size() - at_);
    if (chunk_ != 0) n = std::min(n, chunk_);
    if (n != 0) std::memcpy(buffer.data(), input_.data() + at_, n);
    at_ += n;
    return {0, n};
  }
  int Purge() override { return 0; }
  void LinePulse() override {}
  void LineRest() override {}

 private:
  std::span<const std::uint8_t> input_;
  std::size_t at_ = 0;
  std::size_t chunk_;
  int failingRead_;
  int reads_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace amppanel;
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const BuildProfile& profile = (control & 1) != 0 ? UsbProfile() : SerialProfile();
  MemoryLink link(std::span(data + 1, size - 1), (control >> 1) & 7, control >> 4);
  PollState state;
  std::string linkError;
  PollOnce(link, profile, state, linkError);
  // A reply accepted must have come with its sync bytes; a failure has a text.
  if (state.FrameReady && state.SyncLost) __builtin_trap();
  if (state.LinkFailed && linkError.empty()) __builtin_trap();
  return 0;
}
