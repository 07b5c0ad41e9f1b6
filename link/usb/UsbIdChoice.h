// What the USB connection dialog decides, without its widgets: the ID string
// shown, whether the link opens the device by it, what "Acquire ID string"
// makes of the attached devices, and what OK stores.
#pragma once

#include <string>

#include "link/Link.h"
#include "link/usb/UsbDevices.h"

namespace amppanel {

// The box "Acquire ID string" ends with.
struct AcquireMessage {
  enum class Kind { kAcquired, kNoDevice, kSeveralDevices, kDetailFailed };
  Kind kind = Kind::kNoDevice;
  bool error = true;  // error icon; the success box carries the information icon
  std::string text;
};

inline constexpr const char* kNoUsbDeviceText =
    "There is no USB device linked to the system.\n"
    "Please connect an KALDOR linear amplifier\n"
    "and try pressing \"Acquire ID string\" again.";
inline constexpr const char* kSeveralUsbDevicesText =
    "There is more than 1 USB device linked to the system.\n"
    "Please disconnect all but the KALDOR linear amplifier\n"
    "and try pressing \"Acquire ID string\" again.";
inline constexpr const char* kUsbDetailFailedText =
    "Data acquisition error thru the USB data-link.\n"
    "Try pressing \"Acquire ID string\" again.";

// The dialog's state from its opening to OK or Cancel. Cancel needs nothing of
// it: the settings are written only by StoreInto.
class UsbIdChoice {
 public:
  explicit UsbIdChoice(const LinkSettings& settings)
      : idString_(settings.usbIdString), enabled_(settings.usbIdEnabled) {}

  const std::string& IdString() const { return idString_; }
  bool Enabled() const { return enabled_; }

  // The operator ticks or clears the box. ID addressing needs a string: ticked
  // with none shown, the box clears again. Returns the state it ends in.
  bool SetEnabled(bool enabled);

  // Judges the attached devices; exactly one usable device with an ID string
  // is taken: the string is shown and addressing by it switched on. Any other
  // outcome leaves the choice as it was.
  AcquireMessage Acquire(const UsbDeviceList& devices);

  // OK: never addressing by an empty string.
  void StoreInto(LinkSettings& settings) const;

 private:
  std::string idString_;
  bool enabled_;
};

}  // namespace amppanel
