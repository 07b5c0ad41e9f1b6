// The byte transport to the amplifier. The protocol code (poll step, keys,
// upload) talks to the amplifier through nothing else.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace amppanel {

// What a link needs to open: the serial program uses the port fields, the USB
// program the device ID fields.
struct LinkSettings {
  int comPort = 0;    // 0: no port chosen
  int baudIndex = 6;  // into BaudTable
  std::string usbIdString;
  bool usbIdEnabled = false;
  bool operator==(const LinkSettings&) const = default;
};

// Result of one transfer: a link status number and the bytes moved.
struct LinkResult {
  int status = 0;
  std::size_t count = 0;
};

class Link {
 public:
  virtual ~Link() = default;

  // One attempt to open; returns a link status (0 on success). Throws
  // FT_Exception only where no attempt can succeed (the USB link without its
  // driver library), so that the connection sequence stops at once.
  virtual int Open(const LinkSettings& settings) = 0;
  // Opens again the device that went away while on-line, and only that one;
  // returns a link status like Open.
  virtual int Reopen(const LinkSettings& settings) { return Open(settings); }
  // Closes the link; safe to call when it is closed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Hands the whole buffer to the device as one frame: writes from different
  // threads never interleave.
  virtual LinkResult Write(std::span<const std::uint8_t> data) = 0;
  // One read as this link defines it, bounded by its time-outs: the serial link
  // keeps reading while bytes keep coming; the USB link makes one driver call.
  virtual LinkResult Read(std::span<std::uint8_t> buffer) = 0;
  // Discards input not read yet; returns a link status. Bytes handed to Write
  // are never discarded: a key frame written just before the poll step's purge
  // must still reach the amplifier.
  virtual int Purge() = 0;
  // The reply to what was just written will be about `bytes` long. A link
  // whose driver can gather arriving bytes may let it collect the reply while
  // it is on the wire rather than waking for each piece of it; what the reads
  // return and when they time out stay the same. A purge forgets it.
  virtual void ExpectReply(std::size_t /*bytes*/) {}

  // Control lines: the pulse state raises the ON line, the rest state drops it.
  // Failures are ignored, as for every line operation.
  virtual void LinePulse() = 0;
  virtual void LineRest() = 0;

  // Fixed configuration after a successful open. Links that need none do
  // nothing; others throw FT_Exception with the location of the failing call.
  virtual void Configure() {}
  // Reads and discards input until nothing more arrives (the USB program's
  // purge during an upload). Throws FT_Exception on a failing status.
  virtual void Drain() { Purge(); }
  // Changes the read and write time-outs; returns a link status.
  virtual int SetTimeouts(std::chrono::milliseconds /*read*/, std::chrono::milliseconds /*write*/) {
    return 0;
  }
  // Called after a failed poll, before the link is closed.
  virtual void AfterFailure() {}
  // While set, a read in progress and every new one end at once with what they
  // have: a stop request must not wait for a peer that trickles a long reply
  // byte by byte, each just inside the interval time-out. Links whose reads are
  // bounded by one short driver call may only stop between calls.
  virtual void InterruptReads(bool /*interrupted*/) {}
  // Why the last Open failed, in words for the operator, where the status
  // number alone would leave them guessing (a device they may not use, a
  // remote station's answer); empty otherwise.
  virtual std::string OpenFailureDetail() const { return {}; }

  // Repeats Read for the missing bytes until the buffer is full, a read returns
  // nothing, or a read reports a failing status.
  LinkResult ReadAll(std::span<std::uint8_t> buffer);
};

}  // namespace amppanel
