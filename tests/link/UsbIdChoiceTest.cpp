// The USB connection dialog's decisions without its widgets: what Acquire makes
// of the attached devices, the check box that needs a string, and what OK stores.
#include <gtest/gtest.h>

#include <string>

#include "link/usb/UsbIdChoice.h"

namespace amppanel {
namespace {

using Kind = AcquireMessage::Kind;

UsbDeviceList Devices(std::uint32_t count, int detailStatus = 0, std::uint32_t flags = 0,
                      std::string id = "KALDOR01") {
  UsbDeviceList list;
  list.count = count;
  for (std::uint32_t i = 0; i < count; ++i) {
    list.devices.push_back({.status = detailStatus, .flags = flags, .idString = id});
  }
  return list;
}

struct AcquireCase {
  const char* name;
  UsbDeviceList devices;
  Kind kind;
  std::string text;  // exact
};

class UsbIdAcquire : public ::testing::TestWithParam<AcquireCase> {};

TEST_P(UsbIdAcquire, AnythingButOneUsableDeviceLeavesTheChoiceAsItWas) {
  const AcquireCase& c = GetParam();
  UsbIdChoice choice({.usbIdString = "OLD", .usbIdEnabled = false});
  const AcquireMessage m = choice.Acquire(c.devices);
  EXPECT_EQ(m.kind, c.kind);
  EXPECT_TRUE(m.error);
  EXPECT_EQ(m.text, c.text);
  EXPECT_EQ(choice.IdString(), "OLD");
  EXPECT_FALSE(choice.Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsbIdAcquire,
    ::testing::Values(
        AcquireCase{"NoDevice", Devices(0), Kind::kNoDevice,
                    "There is no USB device linked to the system.\nPlease connect an KALDOR "
                    "linear amplifier\nand try pressing \"Acquire ID string\" again."},
        AcquireCase{"TwoDevices", Devices(2), Kind::kSeveralDevices,
                    "There is more than 1 USB device linked to the system.\nPlease disconnect "
                    "all but the KALDOR linear amplifier\nand try pressing \"Acquire ID "
                    "string\" again."},
        AcquireCase{"DetailFails", Devices(1, 4), Kind::kDetailFailed,
                    "Data acquisition error thru the USB data-link.\nTry pressing \"Acquire ID "
                    "string\" again."},
        AcquireCase{"OpenedElsewhere", Devices(1, 0, 1), Kind::kDetailFailed, kUsbDetailFailedText},
        AcquireCase{"NoIdString", Devices(1, 0, 0, ""), Kind::kDetailFailed, kUsbDetailFailedText},
        // Counted but no detail asked (a driver that lies about its count).
        AcquireCase{"CountedButNotListed", UsbDeviceList{.count = 1}, Kind::kDetailFailed,
                    kUsbDetailFailedText}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(UsbIdAcquire, OneUsableDeviceIsTakenAndSwitchedOn) {
  const std::string full(32, 'Z');  // a buffer filled to the end, no zero
  for (const std::string& id : {std::string("KALDOR01"), full}) {
    UsbIdChoice choice({.usbIdString = "OLD", .usbIdEnabled = false});
    const AcquireMessage m = choice.Acquire(Devices(1, 0, 0, id));
    EXPECT_EQ(m.kind, Kind::kAcquired);
    EXPECT_FALSE(m.error);
    EXPECT_EQ(m.text,
              "USB_ID string [" + id + "] has been\ncorrectly acquired thru the USB data-link.");
    EXPECT_EQ(choice.IdString(), id);
    EXPECT_TRUE(choice.Enabled());
  }
}

TEST(UsbIdAcquire, AMissingDriverLibraryIsNamedUnderTheNoDeviceText) {
  UsbDeviceList list;
  list.status = 1;
  list.driverError = "libftd2xx.so: cannot open shared object file";
  UsbIdChoice choice({});
  const AcquireMessage m = choice.Acquire(list);
  EXPECT_EQ(m.kind, Kind::kNoDevice);
  EXPECT_EQ(m.text, std::string(kNoUsbDeviceText) + "\n\n" + list.driverError);
}

TEST(UsbIdChoice, TickingWithoutAStringClearsTheBoxAtOnce) {
  UsbIdChoice empty({});
  EXPECT_FALSE(empty.SetEnabled(true));
  EXPECT_FALSE(empty.Enabled());

  UsbIdChoice withId({.usbIdString = "KALDOR01"});
  EXPECT_TRUE(withId.SetEnabled(true));
  EXPECT_FALSE(withId.SetEnabled(false));
  EXPECT_TRUE(withId.SetEnabled(true));
}

struct StoreCase {
  const char* name;
  LinkSettings opened;
  bool tick;  // the operator's last setting of the box
  LinkSettings stored;
};

class UsbIdStore : public ::testing::TestWithParam<StoreCase> {};

TEST_P(UsbIdStore, OkNeverStoresAddressingByAnEmptyString) {
  const StoreCase& c = GetParam();
  UsbIdChoice choice(c.opened);
  choice.SetEnabled(c.tick);
  LinkSettings settings = c.opened;
  settings.comPort = 7;  // not the USB dialog's to change
  choice.StoreInto(settings);
  EXPECT_EQ(settings.usbIdString, c.stored.usbIdString);
  EXPECT_EQ(settings.usbIdEnabled, c.stored.usbIdEnabled);
  EXPECT_EQ(settings.comPort, 7);
}

INSTANTIATE_TEST_SUITE_P(Cases, UsbIdStore,
                         ::testing::Values(StoreCase{"TickedWithId",
                                                     {.usbIdString = "K1"},
                                                     true,
                                                     {.usbIdString = "K1", .usbIdEnabled = true}},
                                           StoreCase{"ClearedWithId",
                                                     {.usbIdString = "K1", .usbIdEnabled = true},
                                                     false,
                                                     {.usbIdString = "K1", .usbIdEnabled = false}},
                                           StoreCase{"TickedWithoutId", {}, true, {}}),
                         [](const auto& p) { return std::string(p.param.name); });

// A settings file edited by hand can hold addressing on with no string.
TEST(UsbIdStore, OpenedEnabledAndEmptyIsStoredOffEvenUntouched) {
  UsbIdChoice choice({.usbIdEnabled = true});
  LinkSettings settings{.usbIdEnabled = true};
  choice.StoreInto(settings);
  EXPECT_FALSE(settings.usbIdEnabled);
}

}  // namespace
}  // namespace amppanel
