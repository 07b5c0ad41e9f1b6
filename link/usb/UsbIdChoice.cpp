#include "link/usb/UsbIdChoice.h"

namespace amppanel {

bool UsbIdChoice::SetEnabled(bool enabled) {
  enabled_ = enabled && !idString_.empty();
  return enabled_;
}

AcquireMessage UsbIdChoice::Acquire(const UsbDeviceList& devices) {
  using Kind = AcquireMessage::Kind;
  if (devices.count == 0) {
    AcquireMessage m{.kind = Kind::kNoDevice, .error = true, .text = kNoUsbDeviceText};
    // Without its library the driver cannot count anything: say so, or the
    // operator hunts for a cable fault that is not there.
    if (!devices.driverError.empty()) m.text += "\n\n" + devices.driverError;
    return m;
  }
  if (devices.count > 1) {
    return {.kind = Kind::kSeveralDevices, .error = true, .text = kSeveralUsbDevicesText};
  }
  // A device that is open elsewhere reports flags; one without an ID string
  // (a blank EEPROM) cannot be addressed by it, so it is no acquisition either.
  if (devices.devices.empty() || devices.devices.front().status != 0 ||
      devices.devices.front().flags != 0 || devices.devices.front().idString.empty()) {
    return {.kind = Kind::kDetailFailed, .error = true, .text = kUsbDetailFailedText};
  }
  idString_ = devices.devices.front().idString;
  enabled_ = true;
  return {.kind = Kind::kAcquired,
          .error = false,
          .text = "USB_ID string [" + idString_ +
                  "] has been\ncorrectly acquired thru the USB data-link."};
}

void UsbIdChoice::StoreInto(LinkSettings& settings) const {
  settings.usbIdString = idString_;
  settings.usbIdEnabled = enabled_ && !idString_.empty();
}

}  // namespace amppanel
