// Frame layouts on the amplifier link. Pure encoders and checks: no I/O.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/BuildProfile.h"

namespace amppanel {

inline constexpr std::uint8_t kCommandSync = 0x55;
inline constexpr std::uint8_t kReplySync = 0xAA;
inline constexpr std::size_t kReplySyncBytes = 3;
inline constexpr std::uint8_t kDisplayReplyType = 0x01;
inline constexpr std::uint8_t kQueryCode = 0x80;
inline constexpr std::uint8_t kAcknowledgeCode = 0x06;
inline constexpr std::size_t kReplyBufferSize = 4096;
// Character codes (320) and inverse masks (40) of one display.
inline constexpr std::size_t kDisplayDataSize = 360;
// Type and status byte before the data count in a reply's length field.
inline constexpr std::size_t kMaxDisplayReplyLength = kDisplayDataSize + 2;
// Sync, length, complement, type, status, 360 data bytes, check.
inline constexpr std::size_t kDisplayReplyWireSize = 3 + 2 + 2 + 1 + 1 + kDisplayDataSize + 2;

// Sum of bytes modulo 256: the check byte of a command frame.
std::uint8_t Sum8(std::span<const std::uint8_t> bytes);
// Sum of bytes modulo 65536: the check of a display reply.
std::uint16_t Sum16(std::span<const std::uint8_t> bytes);

// sync bytes, payload count (low 8 bits), payload, check.
std::vector<std::uint8_t> CommandFrame(int syncBytes, std::span<const std::uint8_t> payload);
// A one-byte command: the key frames and the display query.
std::vector<std::uint8_t> KeyFrame(const BuildProfile& profile, std::uint8_t code);
std::vector<std::uint8_t> QueryFrame(const BuildProfile& profile);

// A complete display reply: AA AA AA, L, ~L, type, status, data, sum (all
// little-endian). Used by the virtual amplifier and by tests.
std::vector<std::uint8_t> DisplayReply(std::uint8_t type, std::uint8_t status,
                                       std::span<const std::uint8_t> data);

inline std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace amppanel
