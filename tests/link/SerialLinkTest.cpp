// The serial link against real pseudo-terminals: real time-outs, real driver.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/LinkStatus.h"
#include "link/serial/ComPortLink.h"
#include "link/serial/SerialLink.h"

namespace amppanel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::steady_clock;

// The amplifier's end of a pseudo-terminal pair; the link opens the other end.
class PtyPeer {
 public:
  PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      device_ = ::ptsname(master_);
    }
  }
  ~PtyPeer() {
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Device() const { return device_; }
  void Send(const Bytes& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Everything the link has written, collected for up to `wait`.
  Bytes Received(std::chrono::milliseconds wait = std::chrono::milliseconds(500)) const {
    Bytes got;
    const auto end = steady_clock::now() + wait;
    while (steady_clock::now() < end) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) {
        if (!got.empty()) break;
        continue;
      }
      std::uint8_t buf[512];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string device_;
};

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(peer_.Device().empty()) << "no pseudo-terminal available";
    link_ = std::make_unique<SerialLink>(
        [this](int port) { return port == 7 ? peer_.Device() : std::string(); });
    ASSERT_EQ(link_->Open({.comPort = 7, .baudIndex = 6}), 0);
  }

  PtyPeer peer_;
  std::unique_ptr<SerialLink> link_;
};

TEST_F(SerialLinkTest, WriteArrivesWholeAndReplyInPiecesIsReadWhole) {
  const Bytes frame{0x55, 0x55, 0x55, 0x01, 0x80, 0x80};
  const LinkResult w = link_->Write(frame);
  EXPECT_EQ(w.status, 0);
  EXPECT_EQ(w.count, frame.size());
  EXPECT_EQ(peer_.Received(), frame);

  std::thread sender([this] {
    for (std::uint8_t piece = 0; piece < 4; ++piece) {
      peer_.Send(Bytes(10, piece));
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  });
  Bytes buffer(40);
  const LinkResult r = link_->Read(buffer);
  sender.join();
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(r.count, 40u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[39], 3);
}

// Announcing a longer reply than comes changes nothing in the time-outs.
TEST_F(SerialLinkTest, ShortReplyReturnsShortCountAfterIntervalAndOneMoreTimeout) {
  for (const bool announced : {false, true}) {
    if (announced) link_->ExpectReply(371);
    peer_.Send({1, 2, 3, 4});
    Bytes buffer(6);
    const auto start = steady_clock::now();
    const LinkResult r = link_->Read(buffer);
    const auto took = steady_clock::now() - start;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.count, 4u);
    // 200 ms after the fourth byte, then 1000 + 100 x 2 ms for the missing two.
    EXPECT_GE(took, std::chrono::milliseconds(1350));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
  }
}

TEST_F(SerialLinkTest, PurgeDiscardsPendingInput) {
  peer_.Send({9, 9, 9});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(link_->Purge(), 0);
  peer_.Send({7});
  Bytes buffer(1);
  EXPECT_EQ(link_->Read(buffer).count, 1u);
  EXPECT_EQ(buffer[0], 7);
}

// A reply is read field by field; bytes that came with an earlier field wait
// in the link for the next read, in order, whether the reply came at once or
// a few bytes at a time, announced or not, and a purge drops them with the
// driver's.
TEST_F(SerialLinkTest, FieldByFieldReadsGetEveryByteInOrderAndPurgeDropsWhatWaits) {
  Bytes reply(60);
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i + 1);
  for (const bool announced : {false, true}) {
    for (const std::size_t piece : {reply.size(), std::size_t{7}, std::size_t{1}}) {
      if (announced) link_->ExpectReply(reply.size());
      std::thread sender([&] {
        for (std::size_t at = 0; at < reply.size(); at += piece) {
          peer_.Send(Bytes(
              reply.begin() + static_cast<std::ptrdiff_t>(at),
              reply.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, reply.size()))));
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      });
      Bytes got;
      for (const std::size_t field : {3, 2, 2, 1, 1, 40, 2}) {
        Bytes buffer(field);
        const LinkResult r = link_->Read(buffer);
        EXPECT_EQ(r.count, field);
        got.insert(got.end(), buffer.begin(),
                   buffer.begin() + static_cast<std::ptrdiff_t>(r.count));
      }
      sender.join();
      EXPECT_EQ(got, Bytes(reply.begin(), reply.begin() + 51))
          << "in pieces of " << piece << (announced ? ", announced" : "");
      // Nine bytes are left over, some of them perhaps already read ahead.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_EQ(link_->Purge(), 0);
      peer_.Send({0xEE});
      Bytes next(1);
      EXPECT_EQ(link_->Read(next).count, 1u);
      EXPECT_EQ(next[0], 0xEE);
    }
  }
}

// The poll step purges before each query while key frames are written from
// another thread: a frame already handed to Write must still arrive.
TEST_F(SerialLinkTest, PurgeRightAfterAWriteKeepsTheFrame) {
  const Bytes frame{0x55, 0x55, 0x55, 0x01, 0x0C, 0x0C};
  Bytes sent;
  Bytes got;
  // The amplifier reads all the time, as the real one does.
  std::thread reader([&] {
    for (int i = 0; i < 40 && got.size() < 40 * frame.size(); ++i) {
      const Bytes more = peer_.Received(std::chrono::milliseconds(50));
      got.insert(got.end(), more.begin(), more.end());
    }
  });
  for (int i = 0; i < 40; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(link_->Write(frame).count, frame.size());
    link_->Purge();
    sent.insert(sent.end(), frame.begin(), frame.end());
  }
  reader.join();
  EXPECT_EQ(got.size(), sent.size());
  EXPECT_EQ(got, sent);
}

TEST_F(SerialLinkTest, EveryRateOfTheTableIsAccepted) {
  for (int index = 0; index < static_cast<int>(kBaudTable.size()); ++index) {
    ASSERT_EQ(link_->Open({.comPort = 7, .baudIndex = index}), 0) << kBaudTable[index];
    const Bytes frame{0x55, 0x55, 0x55, 0x01, 0x0A, 0x0A};
    EXPECT_EQ(link_->Write(frame).count, frame.size());
    EXPECT_EQ(peer_.Received(), frame) << kBaudTable[index];
  }
  EXPECT_EQ(BaudForIndex(7), 115200);
  EXPECT_EQ(BaudForIndex(-1), 115200);
  EXPECT_EQ(BaudForIndex(1), 14400);
}

TEST_F(SerialLinkTest, SecondOpenOfAHeldPortFailsAndLineCallsAreHarmless) {
  SerialLink other([this](int) { return peer_.Device(); });
  EXPECT_EQ(other.Open({.comPort = 7}), 1);
  EXPECT_FALSE(other.IsOpen());
  link_->LinePulse();  // a pseudo-terminal refuses DTR; the failure is ignored
  link_->LineRest();
  link_->Close();
  EXPECT_EQ(other.Open({.comPort = 7}), 0);
  other.Close();

  // Given back, the port is free for anyone again, not only for root: the
  // exclusive mark must not outlive the link's hold.
  const int fd = ::open(peer_.Device().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  int exclusive = -1;
  EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(fd);
}

TEST(SerialLinkOpen, MissingDeviceOrNoPortFails) {
  SerialLink link(
      [](int port) { return port == 3 ? std::string("/dev/amp-no-such-device") : std::string(); });
  EXPECT_EQ(link.Open({.comPort = 3}), 1);
  EXPECT_EQ(link.Open({.comPort = 0}), 1);
  EXPECT_FALSE(link.IsOpen());
  Bytes buffer(3);
  EXPECT_EQ(link.Read(buffer).status, 4);
  EXPECT_EQ(link.Write(buffer).status, 4);
}

TEST(SerialLinkHangUp, VanishedPeerEndsReadsWithFailureInsteadOfWaiting) {
  auto peer = std::make_unique<PtyPeer>();
  SerialLink link([&](int) { return peer->Device(); });
  ASSERT_EQ(link.Open({.comPort = 1}), 0);
  peer.reset();
  Bytes buffer(371);
  const auto start = steady_clock::now();
  const LinkResult r = link.Read(buffer);
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.count, 0u);
  EXPECT_LT(steady_clock::now() - start, std::chrono::milliseconds(1000));
}

// While the line is gone the number may name another device: a removed
// ports-folder link leaves it to /dev/ttyS0 and the like.
TEST(SerialLinkReopen, OpensOnlyTheDeviceThatWentAway) {
  PtyPeer amplifier;
  PtyPeer other;
  std::string device = amplifier.Device();
  SerialLink link([&](int) { return device; });
  EXPECT_EQ(link.Reopen({.comPort = 1}), 1) << "nothing went away yet";
  ASSERT_EQ(link.Open({.comPort = 1}), 0);
  link.Close();

  for (const std::string& elsewhere : {other.Device(), std::string()}) {
    device = elsewhere;
    EXPECT_EQ(link.Reopen({.comPort = 1}), 1) << elsewhere;
    EXPECT_FALSE(link.IsOpen());
  }
  device = amplifier.Device();
  ASSERT_EQ(link.Reopen({.comPort = 1}), 0);
  EXPECT_EQ(link.Write(Bytes{0x55}).status, 0);
  EXPECT_EQ(amplifier.Received(), Bytes{0x55});
}

// The serial program opens its ports through the link that picks local or
// remote; a line lost there is reopened by the same rule.
TEST(SerialLinkReopen, ThroughThePortPickerToo) {
  PtyPeer amplifier;
  PtyPeer other;
  std::string device = amplifier.Device();
  ComPortLink link(std::make_unique<SerialLink>([&](int) { return device; }),
                   std::make_unique<RemoteLink>(), [](int) { return std::string(); });
  ASSERT_EQ(link.Open({.comPort = 1}), 0);
  link.Close();
  device = other.Device();
  EXPECT_EQ(link.Reopen({.comPort = 1}), 1);
  EXPECT_FALSE(link.IsOpen());
  device = amplifier.Device();
  EXPECT_EQ(link.Reopen({.comPort = 1}), 0);
}

TEST_F(SerialLinkTest, InterruptEndsATricklingReadAtOnceAndLaterReadsWorkAgain) {
  // A peer sending one byte every 150 ms, inside the interval time-out: a read
  // of 371 bytes would take nearly a minute.
  std::atomic<bool> stop{false};
  std::thread trickle([&] {
    while (!stop.load()) {
      peer_.Send({0xAA});
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  });
  Bytes buffer(371);
  LinkResult r;
  std::thread reader([&] { r = link_->Read(buffer); });
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto start = steady_clock::now();
  link_->InterruptReads(true);
  reader.join();
  const auto took = steady_clock::now() - start;
  stop = true;
  trickle.join();
  EXPECT_LT(took, std::chrono::milliseconds(1000)) << "instead of nearly a minute";
  EXPECT_EQ(r.status, 0);
  EXPECT_GT(r.count, 0u);
  EXPECT_LT(r.count, buffer.size());

  link_->InterruptReads(false);
  ASSERT_EQ(link_->Purge(), 0);
  peer_.Send({1, 2, 3});
  Bytes three(3);
  EXPECT_EQ(link_->Read(three).count, 3u);
}

// What the operator reads when the device refuses them. Root may open any
// device, so as root the attempt runs in a child that has become "nobody",
// against the pseudo-terminal given to the group "dialout" as a serial port
// is; otherwise against this user's own pseudo-terminal with mode 000.
TEST(SerialLinkPermission, AnUnusableDeviceIsNamedWithTheGroupThatOwnsIt) {
  PtyPeer peer;
  ASSERT_FALSE(peer.Device().empty());
  const bool root = ::geteuid() == 0;
  if (root) {
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr) GTEST_SKIP() << "root, and no group \"dialout\" to give the device";
    ASSERT_EQ(::chown(peer.Device().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(peer.Device().c_str(), 0660), 0);
  } else {
    ASSERT_EQ(::chmod(peer.Device().c_str(), 0), 0);
  }
  struct stat st {};
  ASSERT_EQ(::stat(peer.Device().c_str(), &st), 0);
  const group* owner = ::getgrgid(st.st_gid);
  ASSERT_NE(owner, nullptr) << "the pseudo-terminal's group has no name";
  const std::string groupName = owner->gr_name;

  const auto attempt = [&peer] {
    SerialLink link([&peer](int) { return peer.Device(); });
    const int status = link.Open(LinkSettings{.comPort = 1});
    return std::make_pair(status, link.OpenFailureDetail());
  };
  int status = 0;
  std::string detail;
  if (!root) {
    std::tie(status, detail) = attempt();
  } else {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeFds[0]);
      constexpr uid_t kNobody = 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        ::_exit(3);
      }
      const auto [s, text] = attempt();
      const std::string out = std::to_string(s) + "\n" + text;
      const bool written =
          ::write(pipeFds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
      ::_exit(written ? 0 : 4);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    ::close(pipeFds[0]);
    int childStatus = 0;
    ASSERT_EQ(::waitpid(child, &childStatus, 0), child);
    ASSERT_TRUE(WIFEXITED(childStatus));
    if (WEXITSTATUS(childStatus) == 3) GTEST_SKIP() << "root, and cannot become nobody to try";
    ASSERT_EQ(WEXITSTATUS(childStatus), 0);
    const auto newline = out.find('\n');
    ASSERT_NE(newline, std::string::npos);
    status = std::stoi(out.substr(0, newline));
    detail = out.substr(newline + 1);
  }
  EXPECT_EQ(status, kLinkCantOpen);
  EXPECT_NE(detail.find(peer.Device()), std::string::npos) << detail;
  if (root) {
    EXPECT_NE(detail.find("\"dialout\""), std::string::npos) << detail;
    EXPECT_NE(detail.find("sudo usermod -aG dialout $USER"), std::string::npos) << detail;
  } else if (st.st_gid != 0) {
    EXPECT_NE(detail.find("\"" + groupName + "\""), std::string::npos) << detail;
    // Mode 000: joining the group would not help, and the text must not say so.
    EXPECT_EQ(detail.find("usermod"), std::string::npos) << detail;
  }
}

// A device that is missing, or held by another program, has nothing to add.
TEST(SerialLinkPermission, OtherFailuresAddNoDetail) {
  SerialLink link([](int) { return std::string("/dev/amppanel-no-such-device"); });
  EXPECT_EQ(link.Open(LinkSettings{.comPort = 1}), kLinkCantOpen);
  EXPECT_EQ(link.OpenFailureDetail(), "");
}

}  // namespace
}  // namespace amppanel
