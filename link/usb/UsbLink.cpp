#include "link/usb/UsbLink.h"

#include <algorithm>
#include <array>
#include <limits>

#include "link/LinkStatus.h"

namespace amppanel {
namespace {

UsbDword Ms(std::chrono::milliseconds d) {
  return static_cast<UsbDword>(
      std::clamp<long long>(d.count(), 0, std::numeric_limits<UsbDword>::max()));
}

UsbDword Count(std::size_t n) {
  return static_cast<UsbDword>(std::min<std::size_t>(n, std::numeric_limits<UsbDword>::max()));
}

}  // namespace

UsbLink::UsbLink(const BuildProfile& profile, UsbDriverSource source)
    : profile_(profile), source_(source ? std::move(source) : UsbDriverSource(LoadD2xxDriver)) {}

UsbLink::~UsbLink() { Close(); }

int UsbLink::Status(UsbStatus s) {
  return static_cast<int>(std::min<UsbStatus>(s, std::numeric_limits<int>::max()));
}

const UsbDriverCalls* UsbLink::Calls() const {
  return open_ && driver_ ? &driver_->calls : nullptr;
}

int UsbLink::Open(const LinkSettings& settings) {
  Close();
  std::unique_lock lock(handleMutex_);
  if (!driver_) {
    UsbDriverLoad load = source_();
    if (load.driver && !D2xxCallsComplete(load.driver->calls)) {
      load.error = load.driver->name + ": the driver table is incomplete";
      load.driver.reset();
    }
    if (!load.driver) {
      driverError_ = load.error.empty() ? "no USB driver" : load.error;
      throw FT_Exception(std::string(LinkStatusText(profile_, kLinkCantOpen)) + "  #[" +
                         std::to_string(profile_.connectLocation) + "]\n" + driverError_);
    }
    driver_ = std::move(load.driver);
    driverError_.clear();
  }
  const UsbDriverCalls& calls = driver_->calls;
  UsbHandle handle = nullptr;
  UsbStatus status;
  if (settings.usbIdEnabled && !settings.usbIdString.empty()) {
    std::string id = settings.usbIdString;  // the driver takes a non-const pointer
    status = calls.openById(id.data(), kUsbOpenBySerialNumber, &handle);
  } else {
    status = calls.openByIndex(0, &handle);
  }
  if (status != kUsbOk) return Status(status);
  handle_ = handle;
  open_ = true;
  return kLinkOk;
}

void UsbLink::Close() {
  std::unique_lock lock(handleMutex_);
  if (!open_) return;
  (void)driver_->calls.close(handle_);
  handle_ = nullptr;
  open_ = false;
}

bool UsbLink::IsOpen() const {
  std::shared_lock lock(handleMutex_);
  return open_;
}

LinkResult UsbLink::Write(std::span<const std::uint8_t> data) {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) return {static_cast<int>(kUsbInvalidHandle), 0};
  std::lock_guard frame(writeMutex_);
  const UsbDword ask = Count(data.size());
  UsbDword written = 0;
  // D2XX takes a non-const buffer; it does not write to it.
  const UsbStatus s = calls->write(handle_, const_cast<std::uint8_t*>(data.data()), ask, &written);
  return {Status(s), std::min<std::size_t>(written, ask)};
}

LinkResult UsbLink::Read(std::span<std::uint8_t> buffer) {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) return {static_cast<int>(kUsbInvalidHandle), 0};
  if (interrupted_.load()) return {};
  const UsbDword ask = Count(buffer.size());
  UsbDword got = 0;
  const UsbStatus s = calls->read(handle_, buffer.data(), ask, &got);
  return {Status(s), std::min<std::size_t>(got, ask)};
}

int UsbLink::Purge() {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) return static_cast<int>(kUsbInvalidHandle);
  std::lock_guard frame(writeMutex_);
  // Receive side only: purging the transmit side could drop a key frame the UI
  // thread handed over just before the poll step's purge, still in the chip.
  return Status(calls->purge(handle_, kUsbPurgeRx));
}

void UsbLink::LinePulse() {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) return;
  std::lock_guard frame(writeMutex_);
  (void)calls->linePulseA(handle_);
  (void)calls->linePulseB(handle_);
}

void UsbLink::LineRest() {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) return;
  std::lock_guard frame(writeMutex_);
  (void)calls->lineRestA(handle_);
  (void)calls->lineRestB(handle_);
}

void UsbLink::Configure() {
  try {
    std::shared_lock lock(handleMutex_);
    const UsbDriverCalls* c = Calls();
    const UsbLocations& at = kUsbLocations;
    if (c == nullptr)
      RaiseLinkError(profile_, static_cast<int>(kUsbInvalidHandle), at.postOpenSetting);
    UsbHandle h = handle_;  // the handle itself, not what it points to, stays put
    RaiseLinkError(profile_, Status(c->postOpenSetting(h, kUsbPostOpenSetting)),
                   at.postOpenSetting);
    RaiseLinkError(profile_, Status(c->postOpenCall(h)), at.postOpenCall);
    RaiseLinkError(profile_, Status(c->setBaudRate(h, kUsbBaud)), at.baudRate);
    RaiseLinkError(profile_, Status(c->setDataFormat(h, 8, 0, 0)), at.dataFormat);
    RaiseLinkError(profile_, Status(c->setFlowControl(h, 0, 0, 0)), at.flowControl);
    RaiseLinkError(profile_, Status(c->setTimeouts(h, Ms(kUsbTimeout), Ms(kUsbTimeout))),
                   at.timeouts);
    std::lock_guard frame(writeMutex_);
    RaiseLinkError(profile_, Status(c->lineRestA(h)), at.lineRestA);
    RaiseLinkError(profile_, Status(c->lineRestB(h)), at.lineRestB);
  } catch (const FT_Exception&) {
    // As the serial link does with a port it could not set up: the handle
    // that opened is not left open behind a failed configuration.
    Close();
    throw;
  }
}

void UsbLink::Drain() {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) {
    RaiseLinkError(profile_, static_cast<int>(kUsbInvalidHandle), kUsbLocations.drain);
    return;
  }
  std::array<std::uint8_t, kUsbDrainChunk> scratch{};
  for (;;) {
    UsbDword got = 0;
    const UsbStatus s = calls->read(handle_, scratch.data(), Count(scratch.size()), &got);
    RaiseLinkError(profile_, Status(s), kUsbLocations.drain);
    if (got == 0) break;
  }
}

int UsbLink::SetTimeouts(std::chrono::milliseconds read, std::chrono::milliseconds write) {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls == nullptr) return static_cast<int>(kUsbInvalidHandle);
  return Status(calls->setTimeouts(handle_, Ms(read), Ms(write)));
}

void UsbLink::AfterFailure() {
  std::shared_lock lock(handleMutex_);
  const UsbDriverCalls* calls = Calls();
  if (calls != nullptr) (void)calls->afterFailure(handle_);
}

std::string UsbLink::DriverName() const {
  std::shared_lock lock(handleMutex_);
  return driver_ ? driver_->name : std::string();
}

std::string UsbLink::DriverError() const {
  std::shared_lock lock(handleMutex_);
  return driverError_;
}

void ApplyUploadTimeouts(Link& link, const BuildProfile& profile) {
  RaiseLinkError(profile, link.SetTimeouts(kUsbUploadTimeout, kUsbUploadTimeout),
                 kUsbLocations.uploadTimeouts);
}

void RestoreLinkTimeouts(Link& link) { (void)link.SetTimeouts(kUsbTimeout, kUsbTimeout); }

}  // namespace amppanel
