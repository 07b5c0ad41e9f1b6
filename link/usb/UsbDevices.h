// The attached USB devices, for the connection dialog's "Acquire ID string"
// button: UsbCountDevices, then UsbDeviceDetail for each device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/usb/UsbDriver.h"

namespace amppanel {

struct UsbDeviceEntry {
  int status = 0;           // of UsbDeviceDetail for this index
  std::uint32_t flags = 0;  // 0 for a usable device (bit 0: opened elsewhere)
  std::uint32_t type = 0;
  std::uint32_t id = 0;  // vendor and product id
  std::uint32_t location = 0;
  std::string idString;     // up to its terminating zero (32-byte buffer)
  std::string description;  // up to its terminating zero (128-byte buffer)
};

struct UsbDeviceList {
  // The status of UsbCountDevices, or 1 (can't open) when the driver could not
  // be loaded; the dialog looks only at `count`.
  int status = 0;
  std::uint32_t count = 0;              // as reported; 0 when the count call failed
  std::vector<UsbDeviceEntry> devices;  // one per counted device, by index
  std::string driverError;              // why the driver could not be loaded
};

// Counts the devices and asks the detail of each. Never throws.
UsbDeviceList ListUsbDevices(const UsbDriverSource& source = LoadD2xxDriver);

}  // namespace amppanel
