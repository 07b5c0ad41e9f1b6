#include "link/usb/UsbDevices.h"

#include <algorithm>
#include <array>
#include <limits>

#include "link/LinkStatus.h"

namespace amppanel {
namespace {

int Status(UsbStatus s) {
  return static_cast<int>(std::min<UsbStatus>(s, std::numeric_limits<int>::max()));
}

// Text up to the terminating zero, never beyond the buffer.
std::string Terminated(const std::array<char, kUsbIdStringSize>& b) {
  return std::string(b.data(), std::find(b.begin(), b.end(), '\0'));
}
std::string Terminated(const std::array<char, kUsbDescriptionSize>& b) {
  return std::string(b.data(), std::find(b.begin(), b.end(), '\0'));
}

// More than this many would be a driver error, not a real USB bus.
constexpr UsbDword kMaxDevices = 127;

}  // namespace

UsbDeviceList ListUsbDevices(const UsbDriverSource& source) {
  UsbDeviceList list;
  UsbDriverLoad load = source ? source() : LoadD2xxDriver();
  if (!load.driver || !D2xxCallsComplete(load.driver->calls)) {
    list.status = kLinkCantOpen;
    list.driverError = load.driver ? load.driver->name + ": the driver table is incomplete"
                                   : (load.error.empty() ? "no USB driver" : load.error);
    return list;
  }
  const UsbDriverCalls& calls = load.driver->calls;
  UsbDword count = 0;
  list.status = Status(calls.countDevices(&count));
  if (list.status != kLinkOk) count = 0;
  list.count = count;
  for (UsbDword i = 0; i < std::min(count, kMaxDevices); ++i) {
    UsbDeviceEntry e;
    UsbDword flags = 0, type = 0, id = 0, location = 0;
    std::array<char, kUsbIdStringSize> idString{};
    std::array<char, kUsbDescriptionSize> description{};
    UsbHandle handle = nullptr;
    e.status = Status(calls.deviceDetail(i, &flags, &type, &id, &location, idString.data(),
                                         description.data(), &handle));
    e.flags = flags;
    e.type = type;
    e.id = id;
    e.location = location;
    e.idString = Terminated(idString);
    e.description = Terminated(description);
    list.devices.push_back(std::move(e));
  }
  return list;
}

}  // namespace amppanel
