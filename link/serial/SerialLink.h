// The serial link: a COM port opened by number, 8N1 without flow control, with
// the read and write time-outs the protocol was designed around.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/Clock.h"
#include "link/Link.h"

namespace amppanel {

inline constexpr std::array<int, 7> kBaudTable{9600, 14400, 19200, 28800, 38400, 57600, 115200};
inline constexpr int kDefaultBaudIndex = 6;

// The rate of a BaudIndex; an index outside the table counts as the default.
int BaudForIndex(int baudIndex);

// Time-outs of one read or write call: a read of n bytes ends after
// readConstant + n * readMultiplier, or readInterval after the last byte; a
// write of n bytes gives up after writeConstant + n * writeMultiplier.
struct SerialTimeouts {
  milliseconds readInterval{200};
  milliseconds readMultiplier{100};
  milliseconds readConstant{1000};
  milliseconds writeMultiplier{100};
  milliseconds writeConstant{1000};
};

// Maps a COM port number to the device to open; empty when there is none.
using PortResolver = std::function<std::string(int comPort)>;

class SerialLink final : public Link {
 public:
  explicit SerialLink(PortResolver resolver = {}, SerialTimeouts timeouts = {});
  ~SerialLink() override;

  int Open(const LinkSettings& settings) override;
  // Refuses when the number now names a device other than the last one tried.
  int Reopen(const LinkSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  LinkResult Write(std::span<const std::uint8_t> data) override;
  LinkResult Read(std::span<std::uint8_t> buffer) override;
  int Purge() override;
  void ExpectReply(std::size_t bytes) override;
  void LinePulse() override;  // DTR high
  void LineRest() override;   // DTR low
  void InterruptReads(bool interrupted) override;
  std::string OpenFailureDetail() const override;

  // The device of the last open attempt.
  std::string DevicePath() const;

  struct Port;  // the platform's open port

 private:
  PortResolver resolver_;
  SerialTimeouts timeouts_;
  std::mutex writeMutex_;
  std::unique_ptr<Port> port_;
  std::string devicePath_;
  std::string openFailureDetail_;
  std::atomic<bool> interrupted_{false};
  // Wakes a read waiting for bytes when reads are interrupted (-1: none).
  int wakeFd_ = -1;
};

}  // namespace amppanel
