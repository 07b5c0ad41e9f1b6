#include "protocol/Frames.h"

#include <numeric>

namespace amppanel {

std::uint8_t Sum8(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

std::uint16_t Sum16(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint16_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

std::vector<std::uint8_t> CommandFrame(int syncBytes, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(syncBytes), kCommandSync);
  frame.reserve(frame.size() + payload.size() + 2);
  frame.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(Sum8(payload));
  return frame;
}

std::vector<std::uint8_t> KeyFrame(const BuildProfile& profile, std::uint8_t code) {
  const std::array<std::uint8_t, 1> payload{code};
  return CommandFrame(profile.syncBytes, payload);
}

std::vector<std::uint8_t> QueryFrame(const BuildProfile& profile) {
  return KeyFrame(profile, kQueryCode);
}

std::vector<std::uint8_t> DisplayReply(std::uint8_t type, std::uint8_t status,
                                       std::span<const std::uint8_t> data) {
  const auto length = static_cast<std::uint16_t>(data.size() + 2);
  const auto complement = static_cast<std::uint16_t>(length ^ 0xFFFF);
  std::vector<std::uint8_t> reply(kReplySyncBytes, kReplySync);
  reply.reserve(data.size() + 11);
  reply.push_back(static_cast<std::uint8_t>(length & 0xFF));
  reply.push_back(static_cast<std::uint8_t>(length >> 8));
  reply.push_back(static_cast<std::uint8_t>(complement & 0xFF));
  reply.push_back(static_cast<std::uint8_t>(complement >> 8));
  reply.push_back(type);
  reply.push_back(status);
  reply.insert(reply.end(), data.begin(), data.end());
  const auto sum = static_cast<std::uint16_t>(type + status + Sum16(data));
  reply.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  reply.push_back(static_cast<std::uint8_t>(sum >> 8));
  return reply;
}

}  // namespace amppanel
