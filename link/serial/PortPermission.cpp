#include "link/serial/PortPermission.h"

#include <cerrno>

namespace amppanel {

std::string PermissionDetail(const DeviceAccess& a) {
  if (a.error != EACCES && a.error != EPERM) return {};
  std::string device = a.device;
  if (!a.resolved.empty() && a.resolved != a.device) device += " (" + a.resolved + ")";
  std::string text = "You have no permission to use " + device + ".";
  if (!a.ownerKnown) return text;
  const std::string group =
      a.groupName.empty() ? "number " + std::to_string(a.groupId) : "\"" + a.groupName + "\"";
  // Root's group is no group to join: the device needs a rule that gives it
  // to a group.
  if (a.groupId == 0) {
    return text + " It belongs to root alone; a udev rule can give it to the group \"dialout\".";
  }
  if (!a.groupMayUse) {
    return text + " It belongs to the group " + group +
           ", but its permissions do not let that group read and write it either: ask the "
           "administrator to give it mode 0660 (a udev rule can).";
  }
  if (a.inGroup) {
    return text + " It belongs to the group " + group +
           ", which this program has, and yet the system refused: check the device's access "
           "rules.";
  }
  text += " Only members of the group " + group + ", which owns it, may use it.";
  if (a.groupName.empty()) return text + " Ask the administrator to add you to it.";
  // A user added a moment ago gets the group only with the next login.
  return text + " Add yourself with \"sudo usermod -aG " + a.groupName +
         " $USER\", then log out and in again.";
}

}  // namespace amppanel
