// The serial link's control-line calls against a close on another thread, as
// the ON pulse worker meets a disconnect. Run under ThreadSanitizer too.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "link/serial/SerialLink.h"

namespace amppanel {
namespace {

TEST(SerialLinkLines, LineCallsOnAnotherThreadRaceCloseSafely) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0) << "no pseudo-terminal available";
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  SerialLink link([&device](int) { return device; });
  ASSERT_EQ(link.Open({.comPort = 1}), 0);

  std::atomic<bool> stop{false};
  std::thread pulser([&] {
    while (!stop.load()) {
      link.LinePulse();
      link.LineRest();
    }
  });
  for (int i = 0; i < 200; ++i) {
    link.Close();
    ASSERT_EQ(link.Open({.comPort = 1}), 0);
  }
  stop = true;
  pulser.join();
  link.Close();
  ::close(master);
}

}  // namespace
}  // namespace amppanel
