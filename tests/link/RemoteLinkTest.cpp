// The remote link against a real ser2net in front of the virtual amplifier, and
// against a recording RFC 2217 station: line settings, the ON pulse, the
// serial time-outs, a dropped connection, and the words for every open failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include "link/LinkStatus.h"
#include "link/remote/RemoteLink.h"
#include "link/serial/ComPortLink.h"
#include "protocol/Frames.h"
#include "protocol/PollStep.h"
#include "tests/link/RemoteTestSupport.h"
#include "tests/support/PtyAmplifier.h"
#include "tests/support/ScopedEnv.h"

namespace amppanel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using test::LineRecorder;

constexpr int kOperateKey = 13;

// A resolver that gives `target` for every COM number.
PortResolver Always(std::string target) {
  return [target = std::move(target)](int) { return target; };
}

std::string LocalTarget(int port) {
  return "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(port);
}

// Polls until a reply passes every check or `tries` polls are spent.
bool PollsAFrame(Link& link, int tries = 10) {
  PollState poll;
  std::string text;
  for (int i = 0; i < tries; ++i) {
    poll.FrameReady = false;
    PollOnce(link, SerialProfile(), poll, text);
    if (poll.FrameReady) return true;
  }
  return false;
}

template <class Pred>
bool Eventually(Pred pred, std::chrono::milliseconds within = 3000ms) {
  const auto end = Clock::now() + within;
  while (Clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return pred();
}

// ---- against the recording station ----------------------------------------------

class RemoteLinkStationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(station_.Started()) << "no RFC 2217 accepter"; }

  std::vector<int> ValuesOf(int event) const {
    std::vector<int> values;
    for (const auto& c : station_.Changes()) {
      if (c.event == event) values.push_back(c.value);
    }
    return values;
  }

  LineRecorder station_;
};

// The path a user takes: a text file in the ports folder names the station.
TEST_F(RemoteLinkStationTest, PortsFileLeadsToTheStationWithTheLineSettingsAndOnPulse) {
  test::TempDir config("remote-config");
  fs::create_directories(config.Path() / "Norvik" / "ports");
  std::ofstream(config.Path() / "Norvik" / "ports" / "COM5")
      << "# the station in the shack\n  " << LocalTarget(station_.Port()) << "  \n";
  test::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().string());

  ComPortLink link;
  ASSERT_EQ(link.Open({.comPort = 5, .baudIndex = 1}), kLinkOk) << link.OpenFailureDetail();
  EXPECT_TRUE(link.Remote());

  // 14400 8N1, no flow control, both lines low until ON is pulsed.
  EXPECT_EQ(ValuesOf(GENSIO_EVENT_SER_BAUD), std::vector<int>{14400});
  EXPECT_EQ(ValuesOf(GENSIO_EVENT_SER_DATASIZE), std::vector<int>{8});
  EXPECT_EQ(ValuesOf(GENSIO_EVENT_SER_PARITY), std::vector<int>{SERGENSIO_PARITY_NONE});
  EXPECT_EQ(ValuesOf(GENSIO_EVENT_SER_STOPBITS), std::vector<int>{1});
  EXPECT_EQ(ValuesOf(GENSIO_EVENT_SER_FLOWCONTROL), std::vector<int>{SERGENSIO_FLOWCONTROL_NONE});
  EXPECT_EQ(ValuesOf(GENSIO_EVENT_SER_RTS), std::vector<int>{SERGENSIO_RTS_OFF});
  ASSERT_EQ(ValuesOf(GENSIO_EVENT_SER_DTR), std::vector<int>{SERGENSIO_DTR_OFF});

  // The ON pulse as the session gives it: up, 1000 ms, down.
  link.LinePulse();
  std::this_thread::sleep_for(1000ms);
  link.LineRest();
  ASSERT_TRUE(Eventually([&] { return ValuesOf(GENSIO_EVENT_SER_DTR).size() == 3; }));
  std::vector<LineRecorder::Change> dtr;
  for (const auto& c : station_.Changes()) {
    if (c.event == GENSIO_EVENT_SER_DTR) dtr.push_back(c);
  }
  EXPECT_EQ(dtr[1].value, static_cast<int>(SERGENSIO_DTR_ON));
  EXPECT_EQ(dtr[2].value, static_cast<int>(SERGENSIO_DTR_OFF));
  const auto pulse = std::chrono::duration_cast<std::chrono::milliseconds>(dtr[2].at - dtr[1].at);
  std::cout << "ON pulse at the station: " << pulse.count() << " ms\n";
  RecordProperty("on_pulse_ms", static_cast<int>(pulse.count()));
  // Generous: the two requests cross a loaded machine's loopback separately.
  EXPECT_GE(pulse, 900ms);
  EXPECT_LT(pulse, 1600ms);

  // The same number changed to a link: a local port again.
  fs::remove(config.Path() / "Norvik" / "ports" / "COM5");
  EXPECT_NE(link.Open({.comPort = 5, .baudIndex = 1}), kLinkOk);
  EXPECT_FALSE(link.Remote());
}

TEST_F(RemoteLinkStationTest, ReadsWritesAndPurgesAsTheLocalSerialLinkDoes) {
  RemoteLink link(Always(LocalTarget(station_.Port())));
  ASSERT_EQ(link.Open({.comPort = 1, .baudIndex = 6}), kLinkOk) << link.OpenFailureDetail();

  const Bytes frame{0x55, 0x55, 0x55, 0x01, 0x80, 0x80};
  const LinkResult w = link.Write(frame);
  EXPECT_EQ(w.status, kLinkOk);
  EXPECT_EQ(w.count, frame.size());
  EXPECT_TRUE(Eventually([&] { return station_.Received() == frame; }));

  // A reply in pieces is one read; a short one ends 200 ms after its last byte
  // and costs one more full time-out for the missing bytes.
  std::thread sender([&] {
    for (std::uint8_t piece = 0; piece < 4; ++piece) {
      station_.Send(Bytes(10, piece));
      std::this_thread::sleep_for(60ms);
    }
  });
  Bytes buffer(40);
  LinkResult r = link.Read(buffer);
  sender.join();
  EXPECT_EQ(r.status, kLinkOk);
  ASSERT_EQ(r.count, 40u);
  EXPECT_EQ(buffer[39], 3);

  station_.Send({1, 2, 3, 4});
  Bytes six(6);
  auto start = Clock::now();
  r = link.Read(six);
  auto took = Clock::now() - start;
  EXPECT_EQ(r.status, kLinkOk);
  EXPECT_EQ(r.count, 4u);
  EXPECT_GE(took, 1350ms);
  EXPECT_LT(took, 3000ms);

  // Purge drops what came, and only that.
  station_.Send({9, 9, 9});
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(link.Purge(), kLinkOk);
  station_.Send({7});
  Bytes one(1);
  EXPECT_EQ(link.Read(one).count, 1u);
  EXPECT_EQ(one[0], 7);

  // A stop request ends a waiting read at once.
  Bytes big(100);
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    link.InterruptReads(true);
  });
  start = Clock::now();
  r = link.Read(big);
  took = Clock::now() - start;
  stopper.join();
  link.InterruptReads(false);
  EXPECT_EQ(r.count, 0u);
  EXPECT_LT(took, 600ms);
}

TEST_F(RemoteLinkStationTest, DroppedConnectionFailsReadsAndWritesAsACutLine) {
  RemoteLink link(Always(LocalTarget(station_.Port())));
  ASSERT_EQ(link.Open({.comPort = 1, .baudIndex = 6}), kLinkOk) << link.OpenFailureDetail();
  station_.Hangup();
  Bytes buffer(3);
  const auto start = Clock::now();
  const LinkResult r = link.Read(buffer);
  EXPECT_EQ(r.status, kLinkIoError);
  EXPECT_LT(Clock::now() - start, 1000ms) << "a hang-up must not wait for the time-out";
  EXPECT_EQ(link.Write(Bytes{0x55}).status, kLinkIoError);

  // The poll step turns it into a lost line, which the session reopens.
  PollState poll;
  std::string text;
  PollOnce(link, SerialProfile(), poll, text);
  EXPECT_TRUE(poll.LineGone);
  EXPECT_FALSE(poll.LinkFailed);
  EXPECT_TRUE(link.IsOpen());
  link.Close();
  EXPECT_FALSE(link.IsOpen());
}

// The window's thread asks for a lost line back between two polls: a station
// that went silent must not hold it for the open time-out, and another station
// behind the same number is not the line that was lost.
TEST_F(RemoteLinkStationTest, ReopenNeverWaitsForTheStationAndTakesOnlyItBack) {
  std::string target = LocalTarget(station_.Port());
  RemoteLink link([&](int) { return target; }, {}, 4000ms);
  const LinkSettings settings{.comPort = 1, .baudIndex = 6};
  ASSERT_EQ(link.Open(settings), kLinkOk) << link.OpenFailureDetail();
  station_.Hangup();
  station_.Mute(true);
  link.Close();

  const auto start = Clock::now();
  EXPECT_EQ(link.Reopen(settings), kLinkCantOpen);
  EXPECT_EQ(link.Reopen(settings), kLinkCantOpen);
  EXPECT_LT(Clock::now() - start, 1000ms) << "instead of the station's 4 s";
  // A disconnect ends the attempt under way: it waits for it, but no longer
  // than the open time-out.
  link.Close();
  EXPECT_LT(Clock::now() - start, 7000ms);
  EXPECT_FALSE(link.IsOpen());

  // The station comes back (it serves one connection at a time, and drops
  // the one it was ignoring).
  station_.Hangup();
  station_.Mute(false);
  EXPECT_TRUE(Eventually([&] { return link.Reopen(settings) == kLinkOk; }, 10000ms))
      << link.OpenFailureDetail();
  ASSERT_EQ(link.Write(Bytes{0x55}).status, kLinkOk);
  EXPECT_TRUE(Eventually([&] { return !station_.Received().empty(); }));

  LineRecorder other;
  ASSERT_TRUE(other.Started());
  station_.Hangup();
  link.Close();
  target = LocalTarget(other.Port());
  EXPECT_FALSE(Eventually([&] { return link.Reopen(settings) == kLinkOk; }, 2500ms));
  EXPECT_FALSE(link.IsOpen());
}

// ---- open failures -----------------------------------------------------------------

TEST(RemoteLinkOpenTest, EachFailureSaysWhatWentWrong) {
  struct Case {
    std::string target;
    std::string expected;
  };
  const std::vector<Case> cases{
      {LocalTarget(test::FreeTcpPort()), "Connection refused"},
      {"telnet(rfc2217),tcp,no-such-station.invalid,3001", "Host not found"},
      {"telnet(rfc2217),tcq,127.0.0.1,1", "is not a connection"},
      {"", "names no connection"},
  };
  for (const auto& c : cases) {
    RemoteLink link(Always(c.target));
    EXPECT_EQ(link.Open({.comPort = 3, .baudIndex = 6}), kLinkCantOpen) << c.target;
    EXPECT_NE(link.OpenFailureDetail().find(c.expected), std::string::npos)
        << c.target << ": " << link.OpenFailureDetail();
    EXPECT_FALSE(link.IsOpen());
  }
}

// ---- through ser2net -----------------------------------------------------------------

class Ser2netTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::FindProgram("ser2net").empty()) {
      GTEST_SKIP() << "ser2net is not installed (Debian ser2net; scripts/install-deps remote)";
    }
    ASSERT_TRUE(amp_.Opened()) << "no pseudo-terminal";
    port_ = test::FreeTcpPort();
  }

  test::TempDir dir_{"ser2net-test"};
  test::PtyAmplifier amp_;
  int port_ = 0;
};

TEST_F(Ser2netTest, MirrorsTakesKeysRefusesASecondUserAndSurvivesARestart) {
  auto ser2net = std::make_unique<test::Ser2net>(dir_.Path(), amp_.Device(), port_);
  ASSERT_TRUE(ser2net->Start()) << ser2net->Log();

  RemoteLink link(Always(LocalTarget(port_)));
  ASSERT_EQ(link.Open({.comPort = 2, .baudIndex = 6}), kLinkOk) << link.OpenFailureDetail();
  EXPECT_TRUE(PollsAFrame(link));
  ASSERT_EQ(link.Write(KeyFrame(SerialProfile(), kOperateKey)).status, kLinkOk);
  EXPECT_TRUE(Eventually([&] {
    const auto keys = amp_.Keys();
    return std::find(keys.begin(), keys.end(), kOperateKey) != keys.end();
  }));

  // ser2net lets one user at a time have the port.
  RemoteLink second(Always(LocalTarget(port_)));
  EXPECT_EQ(second.Open({.comPort = 2, .baudIndex = 6}), kLinkCantOpen);
  EXPECT_NE(second.OpenFailureDetail().find("busy"), std::string::npos)
      << second.OpenFailureDetail();

  // The station goes away: the line is lost and cannot be had back ...
  ser2net->Stop();
  PollState poll;
  std::string text;
  PollOnce(link, SerialProfile(), poll, text);
  EXPECT_TRUE(poll.LineGone);
  link.Close();
  EXPECT_EQ(link.Open({.comPort = 2, .baudIndex = 6}), kLinkCantOpen);
  EXPECT_NE(link.OpenFailureDetail().find("Connection refused"), std::string::npos);

  // ... until it is back.
  ser2net = std::make_unique<test::Ser2net>(dir_.Path(), amp_.Device(), port_);
  ASSERT_TRUE(ser2net->Start()) << ser2net->Log();
  ASSERT_EQ(link.Open({.comPort = 2, .baudIndex = 6}), kLinkOk) << link.OpenFailureDetail();
  EXPECT_TRUE(PollsAFrame(link));
}

TEST_F(Ser2netTest, TlsWithClientCertificatesRefusesAMissingCertificateAndAWrongCa) {
  const auto good = test::MakeCertificates(dir_.Path(), "station");
  const auto other = test::MakeCertificates(dir_.Path(), "stranger");
  if (!good.error.empty() || !other.error.empty()) {
    GTEST_SKIP() << good.error << other.error;
  }
  const std::string serverTls =
      "ssl(key=" + good.serverKey.string() + ",cert=" + good.serverCert.string() + ",clientauth)";
  test::Ser2net ser2net(dir_.Path(), amp_.Device(), port_, serverTls, good.authDir);
  ASSERT_TRUE(ser2net.Start()) << ser2net.Log();

  const auto target = [&](const test::Certificates& trust) {
    return "telnet(rfc2217),ssl(CA=" + trust.ca.string() + ",cert=" + good.clientCert.string() +
           ",key=" + good.clientKey.string() + "),tcp,127.0.0.1," + std::to_string(port_);
  };
  {
    RemoteLink link(Always(target(good)));
    ASSERT_EQ(link.Open({.comPort = 2, .baudIndex = 6}), kLinkOk) << link.OpenFailureDetail();
    EXPECT_TRUE(PollsAFrame(link));
  }
  // The station refuses a panel without an operator's certificate.
  RemoteLink anonymous(Always("telnet(rfc2217),ssl(CA=" + good.ca.string() + "),tcp,127.0.0.1," +
                              std::to_string(port_)));
  EXPECT_EQ(anonymous.Open({.comPort = 2, .baudIndex = 6}), kLinkCantOpen);
  EXPECT_NE(anonymous.OpenFailureDetail().find("certificate given in cert="), std::string::npos)
      << anonymous.OpenFailureDetail();

  RemoteLink wrong(Always(target(other)));
  EXPECT_EQ(wrong.Open({.comPort = 2, .baudIndex = 6}), kLinkCantOpen);
  EXPECT_NE(wrong.OpenFailureDetail().find("TLS verification failed"), std::string::npos)
      << wrong.OpenFailureDetail();
}

}  // namespace
}  // namespace amppanel
