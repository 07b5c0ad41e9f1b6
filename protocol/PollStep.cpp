#include "protocol/PollStep.h"

#include <array>
#include <span>

#include "link/LinkStatus.h"
#include "protocol/Frames.h"

namespace amppanel {
namespace {

class PollReader {
 public:
  PollReader(Link& link, const BuildProfile& profile, PollState& state)
      : link_(link), profile_(profile), state_(state) {}

  // One read as the link defines it; the status goes to RaiseLinkError where
  // the program examines it (location < 0: not examined).
  std::size_t Read(std::span<std::uint8_t> into, int location) {
    return Check(link_.Read(into), location);
  }
  // Reads repeatedly where the link's single read may stop short.
  std::size_t ReadWhole(std::span<std::uint8_t> into, int location) {
    return Check(profile_.pollReadsRepeatedly ? link_.ReadAll(into) : link_.Read(into), location);
  }
  void Checked(int status, int location) {
    if (profile_.pollRaisesLinkErrors) {
      if (location >= 0) RaiseLinkError(profile_, status, location);
    } else if (status != kLinkOk) {
      state_.LineGone = true;
    }
  }

 private:
  std::size_t Check(const LinkResult& r, int location) {
    Checked(r.status, location);
    return r.count;
  }

  Link& link_;
  const BuildProfile& profile_;
  PollState& state_;
};

bool ReadDisplayReply(PollReader& reader, Link& link, const BuildProfile& profile,
                      PollState& state) {
  const PollLocations& at = profile.pollLocations;
  reader.Checked(link.Purge(), at.purge);
  const auto query = QueryFrame(profile);
  reader.Checked(link.Write(query).status, at.writeQuery);
  link.ExpectReply(kDisplayReplyWireSize);

  std::span<std::uint8_t> buffer(state.ReplyBuffer);
  if (reader.ReadWhole(buffer.first(kReplySyncBytes), at.readSync) < kReplySyncBytes ||
      buffer[0] != kReplySync || buffer[1] != kReplySync || buffer[2] != kReplySync) {
    state.SyncLost = true;
    return false;
  }

  std::array<std::uint8_t, 2> field{};
  if (reader.Read(field, at.readLength) < 2) return false;
  const std::uint16_t length = ReadLe16(field.data());
  if (reader.Read(field, at.readComplement) < 2) return false;
  if (static_cast<std::uint16_t>(ReadLe16(field.data()) ^ 0xFFFF) != length) return false;
  // The payload holds at least type and status. The display reply carries 360
  // data bytes and nothing beyond them is ever drawn: a longer one is line noise
  // that passed the complement check, dropped before its body is read so that a
  // babbling line cannot hold the step (the next cycle's purge clears the rest).
  if (length < 2 || static_cast<std::size_t>(length) > kMaxDisplayReplyLength) return false;

  std::array<std::uint8_t, 1> type{};
  if (reader.Read(type, at.readType) < 1 || type[0] != kDisplayReplyType) return false;
  if (reader.Read(std::span(&state.StatusByte, 1), at.readStatus) < 1) return false;

  const std::size_t dataSize = length - 2u;
  if (reader.ReadWhole(buffer.first(dataSize), -1) < dataSize) return false;
  if (reader.Read(field, at.readCheck) < 2) return false;

  const auto sum =
      static_cast<std::uint16_t>(type[0] + state.StatusByte + Sum16(buffer.first(dataSize)));
  if (sum != ReadLe16(field.data())) return false;
  state.FrameReady = true;
  return true;
}

}  // namespace

void PollOnce(Link& link, const BuildProfile& profile, PollState& state,
              std::string& linkErrorText) {
  PollReader reader(link, profile, state);
  try {
    ReadDisplayReply(reader, link, profile, state);
  } catch (const FT_Exception& e) {
    linkErrorText = e.what();
    state.LinkFailed = true;
  }
}

}  // namespace amppanel
