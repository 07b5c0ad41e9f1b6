// The advice for a serial device the user may not open: which device, and the
// group whose members may. On Debian serial devices belong to "dialout", and a
// user who is not in it gets only "permission denied" from the system.
#pragma once

#include <string>

namespace amppanel {

struct DeviceAccess {
  std::string device;       // as the program opened it
  std::string resolved;     // the device it leads to, when that is another path
  int error = 0;            // errno of the failed open
  bool ownerKnown = false;  // whether the device could be looked at
  unsigned groupId = 0;
  std::string groupName;    // empty when the group has no name
  bool groupMayUse = true;  // the device's mode lets its group read and write
  bool inGroup = false;     // the process already has that group
};

// The advice for a failed open; empty unless the error is a permission error
// (EACCES, EPERM).
std::string PermissionDetail(const DeviceAccess& access);

// Looks at the device's owner and at this process's groups (POSIX only).
DeviceAccess LookAtDevice(const std::string& device, int error);

}  // namespace amppanel
