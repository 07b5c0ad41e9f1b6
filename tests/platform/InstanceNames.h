// Mutex and message names of a program copy in the single-instance tests,
// made unique per test run so that parallel runs never see each other.
#pragma once

#include <string>

#include "core/BuildProfile.h"

namespace amppanel::test {

class InstanceNames {
 public:
  // `base`: the program whose names are imitated (the USB program has no
  // configure message); `tag`: what makes them unique.
  InstanceNames(const BuildProfile& base, const std::string& tag)
      : mutex_(std::string(base.mutexName) + "_" + tag),
        front_(std::string(base.bringToFrontMessage) + "_" + tag),
        open_(std::string(base.autoOpenMessage) + "_" + tag),
        config_(base.autoConfigMessage.empty() ? ""
                                               : std::string(base.autoConfigMessage) + "_" + tag),
        profile_(base) {
    profile_.mutexName = mutex_;
    profile_.bringToFrontMessage = front_;
    profile_.autoOpenMessage = open_;
    profile_.autoConfigMessage = config_;
  }
  InstanceNames(const InstanceNames&) = delete;
  InstanceNames& operator=(const InstanceNames&) = delete;

  const BuildProfile& Profile() const { return profile_; }

 private:
  std::string mutex_, front_, open_, config_;
  BuildProfile profile_;
};

}  // namespace amppanel::test
