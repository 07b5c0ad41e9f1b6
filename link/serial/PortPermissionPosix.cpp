#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "link/serial/PortPermission.h"

namespace amppanel {
namespace {

bool ProcessHasGroup(gid_t group) {
  if (getegid() == group) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<std::size_t>(i)] == group) return true;
  }
  return false;
}

std::string GroupName(gid_t id) {
  std::vector<char> buffer(4096);
  struct group entry {};
  struct group* found = nullptr;
  while (getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < 1'000'000) {
    buffer.resize(buffer.size() * 4);
  }
  return found != nullptr && found->gr_name != nullptr ? found->gr_name : "";
}

}  // namespace

DeviceAccess LookAtDevice(const std::string& device, int error) {
  DeviceAccess a;
  a.device = device;
  a.error = error;
  if (char* real = realpath(device.c_str(), nullptr)) {
    a.resolved = real;
    std::free(real);
  }
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return a;
  a.ownerKnown = true;
  a.groupId = st.st_gid;
  a.groupName = GroupName(st.st_gid);
  a.groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  a.inGroup = ProcessHasGroup(st.st_gid);
  return a;
}

}  // namespace amppanel
