#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "link/serial/PortPermission.h"

namespace amppanel {
namespace {

DeviceAccess Dialout() {
  return {.device = "/dev/ttyUSB0",
          .error = EACCES,
          .ownerKnown = true,
          .groupId = 20,
          .groupName = "dialout",
          .groupMayUse = true,
          .inGroup = false};
}

// The advice has to fit the case: telling a user to join a group that cannot
// use the device, or that they are already in, sends them the wrong way.
TEST(PermissionDetail, FitsTheWayTheDeviceIsOwned) {
  struct Case {
    const char* what;
    DeviceAccess access;
    std::vector<std::string> says;
    std::vector<std::string> never;
  };
  DeviceAccess eperm = Dialout();
  eperm.error = EPERM;
  DeviceAccess viaLink = Dialout();
  viaLink.device = "/home/op/.config/Norvik/ports/COM3";
  viaLink.resolved = "/dev/ttyUSB0";
  DeviceAccess member = Dialout();
  member.inGroup = true;
  DeviceAccess closedMode = Dialout();
  closedMode.groupMayUse = false;
  DeviceAccess rootOnly = Dialout();
  rootOnly.groupId = 0;
  rootOnly.groupName = "root";
  DeviceAccess nameless = Dialout();
  nameless.groupId = 4321;
  nameless.groupName = "";
  DeviceAccess unknown = Dialout();
  unknown.ownerKnown = false;
  const Case cases[] = {
      {"not in the group",
       Dialout(),
       {"/dev/ttyUSB0", "\"dialout\"", "sudo usermod -aG dialout $USER", "log out and in again"},
       {}},
      {"EPERM", eperm, {"/dev/ttyUSB0", "\"dialout\""}, {}},
      {"a COMn link", viaLink, {"ports/COM3 (/dev/ttyUSB0)", "\"dialout\""}, {}},
      {"already a member", member, {"\"dialout\"", "access rules"}, {"usermod"}},
      {"group may not use it", closedMode, {"\"dialout\"", "0660"}, {"usermod"}},
      {"root's device", rootOnly, {"root alone", "udev"}, {"usermod", "group \"root\""}},
      {"group without a name", nameless, {"number 4321", "administrator"}, {"usermod"}},
      {"not looked at", unknown, {"/dev/ttyUSB0"}, {"group"}},
  };
  for (const Case& c : cases) {
    const std::string text = PermissionDetail(c.access);
    for (const auto& part : c.says) {
      EXPECT_NE(text.find(part), std::string::npos) << c.what << ": " << text;
    }
    for (const auto& part : c.never) {
      EXPECT_EQ(text.find(part), std::string::npos) << c.what << ": " << text;
    }
  }
}

TEST(PermissionDetail, OnlyPermissionErrorsHaveOne) {
  for (const int error : {ENOENT, EBUSY, EIO, ENXIO, 0}) {
    DeviceAccess access = Dialout();
    access.error = error;
    EXPECT_EQ(PermissionDetail(access), "") << error;
  }
}

}  // namespace
}  // namespace amppanel
