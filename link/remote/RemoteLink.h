// A serial port on another machine, served over the network by ser2net: RFC 2217
// carries the baud rate, the data format and the DTR line with the data, and TLS
// may wrap the whole. The connection is named by a gensio string such as
// telnet(rfc2217),tcp,station.example,3001.
#pragma once

#include <memory>
#include <string>

#include "link/Link.h"
#include "link/serial/SerialLink.h"

namespace amppanel {

// Bounds one open attempt: name look-up aside, connecting, the TLS handshake
// and the station's answer to the line settings.
inline constexpr milliseconds kRemoteOpenTimeout{3000};

class RemoteLink final : public Link {
 public:
  // `targets` maps a COM port number to its connection string (empty: none);
  // by default the ports folder is asked.
  explicit RemoteLink(PortResolver targets = {}, SerialTimeouts timeouts = {},
                      milliseconds openTimeout = kRemoteOpenTimeout);
  ~RemoteLink() override;
  RemoteLink(const RemoteLink&) = delete;
  RemoteLink& operator=(const RemoteLink&) = delete;

  // Whether this build of the program can reach remote ports at all.
  static bool Available();

  int Open(const LinkSettings& settings) override;
  // Never waits for the station: the first call starts an attempt on a thread
  // of its own and a later one takes its result, so a station that went
  // silent cannot hold the caller for the open time-out. Only the station
  // last opened is tried, and at most once a second. Close waits for an
  // attempt under way (at most the open time-out).
  int Reopen(const LinkSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  LinkResult Write(std::span<const std::uint8_t> data) override;
  LinkResult Read(std::span<std::uint8_t> buffer) override;
  int Purge() override;
  void LinePulse() override;  // DTR high at the station
  void LineRest() override;   // DTR low at the station
  void InterruptReads(bool interrupted) override;
  std::string OpenFailureDetail() const override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace amppanel
