// The USB program's link: the amplifier's FTDI interface through
// the roles of the D2XX driver, whichever backend fills them.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "core/BuildProfile.h"
#include "link/Link.h"
#include "link/usb/UsbDriver.h"

namespace amppanel {

// Fixed line settings and time-outs of the USB link.
inline constexpr UsbDword kUsbBaud = 115200;
inline constexpr UsbDword kUsbPostOpenSetting = 10000;
inline constexpr std::chrono::milliseconds kUsbTimeout{1200};
inline constexpr std::chrono::milliseconds kUsbUploadTimeout{3000};
inline constexpr std::size_t kUsbDrainChunk = 512;

// Locations appended to the failures this link raises itself.
struct UsbLocations {
  int postOpenSetting = 1029;
  int postOpenCall = 1030;
  int baudRate = 1031;
  int dataFormat = 1032;
  int flowControl = 1033;
  int timeouts = 1034;
  int lineRestA = 1035;
  int lineRestB = 1036;
  int drain = 1822;
  int uploadTimeouts = 1414;
};
inline constexpr UsbLocations kUsbLocations{};

class UsbLink final : public Link {
 public:
  // `source` gives the driver at the first Open (connect time), not before.
  explicit UsbLink(const BuildProfile& profile = UsbProfile(),
                   UsbDriverSource source = LoadD2xxDriver);
  ~UsbLink() override;
  UsbLink(const UsbLink&) = delete;
  UsbLink& operator=(const UsbLink&) = delete;

  // One attempt: by ID string (selector 1) when usbIdEnabled and the string is
  // not empty, else device index 0. Returns the driver status. A driver that
  // cannot be loaded throws FT_Exception at once ("CAN'T OPEN USB LINK...
  // #[1027]", then a line naming the library and what is missing): no retry
  // can help it.
  int Open(const LinkSettings& settings) override;
  // UsbClose, status ignored; waits for a read in progress on another thread.
  void Close() override;
  bool IsOpen() const override;
  // One UsbWrite of the whole frame, never interleaved with another write.
  LinkResult Write(std::span<const std::uint8_t> data) override;
  // One UsbRead, bounded by the read time-out; may return fewer bytes.
  LinkResult Read(std::span<std::uint8_t> buffer) override;
  // UsbPurge with mask 3 (both directions), after any write in progress.
  int Purge() override;
  // UsbLinePulseA then UsbLinePulseB; statuses ignored.
  void LinePulse() override;
  // UsbLineRestA then UsbLineRestB; statuses ignored.
  void LineRest() override;
  // The eight configuration calls, each checked with its own location
  // (1029-1036). A failure closes the handle, then throws FT_Exception.
  void Configure() override;
  // UsbRead of 512 bytes until a call returns none; a failing status throws
  // FT_Exception with location 1822. An idle link takes one read time-out.
  void Drain() override;
  // UsbSetTimeouts; returns the driver status.
  int SetTimeouts(std::chrono::milliseconds read, std::chrono::milliseconds write) override;
  // UsbAfterFailure, status ignored.
  void AfterFailure() override;
  // Each read is one driver call bounded by its time-out: an interrupted link
  // makes no further call.
  void InterruptReads(bool interrupted) override { interrupted_.store(interrupted); }

  // The library (or backend) of the loaded driver; empty before the first
  // successful load.
  std::string DriverName() const;
  // Why the last load failed; empty when it did not.
  std::string DriverError() const;

 private:
  const UsbDriverCalls* Calls() const;
  static int Status(UsbStatus s);

  const BuildProfile& profile_;
  UsbDriverSource source_;
  std::shared_ptr<const UsbDriver> driver_;
  std::string driverError_;
  // Shared by every call on the handle, exclusive to open and close: a close
  // never pulls the handle from under a read or write on another thread.
  mutable std::shared_mutex handleMutex_;
  std::atomic<bool> interrupted_{false};
  // One frame at a time: writes, line state changes and purges.
  std::mutex writeMutex_;
  UsbHandle handle_ = nullptr;
  bool open_ = false;
};

// The firmware upload's time-outs: 3000/3000 ms, a failing
// status raised with location 1414.
void ApplyUploadTimeouts(Link& link, const BuildProfile& profile);
// Back to 1200/1200 ms after an upload; status ignored.
void RestoreLinkTimeouts(Link& link);

}  // namespace amppanel
