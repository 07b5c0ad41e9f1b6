// A stop request against a peer that answers each query with a long reply
// trickled byte by byte, each byte just inside the interval time-out: the
// session must not wait for the reply to end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/serial/SerialLink.h"
#include "protocol/Frames.h"
#include "session/PanelSession.h"
#include "tests/session/SessionHarness.h"

namespace amppanel {
namespace {

using namespace std::chrono_literals;

TEST(StopDuringTrickle, DisconnectEndsAPollStepReadingABabblingLine) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  // Each frame the panel sends is answered with the sync bytes and a length of
  // 362 with its complement, then one byte per 150 ms, for ever.
  std::thread babbler([&] {
    const std::uint8_t header[] = {0xAA, 0xAA, 0xAA, 0x6A, 0x01, 0x95, 0xFE};
    while (!stop.load()) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0) {
        std::uint8_t frame[64];
        if (::read(master, frame, sizeof frame) > 0) {
          (void)!::write(master, header, sizeof header);
        }
      }
      const std::uint8_t byte = 0x01;
      if (::write(master, &byte, 1) == 1) ++sent;
      std::this_thread::sleep_for(150ms);
    }
  });

  QueueUiThread ui;
  test::RecordingObserver observer;
  PanelSession session(SerialProfile(), std::make_unique<SerialLink>([&](int) { return device; }),
                       ui, RealClock(), observer);
  session.Settings().comPort = 1;
  session.Connect();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (sent.load() < 3 && std::chrono::steady_clock::now() < deadline) ui.RunNext(10ms);
  ASSERT_GE(sent.load(), 3) << "the peer never started trickling";
  std::this_thread::sleep_for(1s);  // the poll step is now deep in the reply's body
  ASSERT_TRUE(session.Polling());

  const auto start = std::chrono::steady_clock::now();
  session.Disconnect();
  const auto took = std::chrono::steady_clock::now() - start;
  stop = true;
  babbler.join();
  ::close(master);
  EXPECT_FALSE(session.Polling());
  // One read time-out at the most; the reply would have taken nearly a minute.
  EXPECT_LT(took, 1300ms);
}

}  // namespace
}  // namespace amppanel
