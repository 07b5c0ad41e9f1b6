// The virtual amplifier behind a real pseudo-terminal, read by the real serial
// link: the way AmpPanel_232 meets it in the demo and in end-to-end tests.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/serial/ComPortNames.h"
#include "link/serial/SerialLink.h"
#include "protocol/PollStep.h"
#include "sim/Pty.h"
#include "tests/support/AmpSimProcess.h"

namespace amppanel {
namespace {

namespace fs = std::filesystem;

class PtyAmplifier : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(pty_.Open(error)) << error;
    bridge_ = std::thread([this] { PtyBridge(pty_, engine_).Run(stop_); });
  }
  void TearDown() override {
    stop_ = true;
    if (bridge_.joinable()) bridge_.join();
  }
  std::unique_ptr<SerialLink> OpenLink() {
    auto link = std::make_unique<SerialLink>([this](int) { return pty_.SlavePath(); });
    EXPECT_EQ(link->Open({.comPort = 1, .baudIndex = 6}), 0);
    return link;
  }

  AmpEngine engine_;
  PtyMaster pty_;
  std::atomic<bool> stop_{false};
  std::thread bridge_;
};

TEST_F(PtyAmplifier, SerialLinkPollsItAndItsKeysArrive) {
  auto link = OpenLink();
  PollState state;
  std::string errorText;
  PollOnce(*link, SerialProfile(), state, errorText);
  ASSERT_TRUE(state.FrameReady);
  EXPECT_EQ(state.StatusByte, engine_.StatusByte());

  // The next poll purges the port, so let the key reach the amplifier first,
  // as the 80 ms between two polls does in the panel.
  const int frames = engine_.FramesReceived();
  EXPECT_EQ(link->Write(KeyFrame(SerialProfile(), key::kOperate)).status, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (engine_.FramesReceived() == frames && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  state.FrameReady = false;
  PollOnce(*link, SerialProfile(), state, errorText);
  ASSERT_TRUE(state.FrameReady);
  EXPECT_TRUE(engine_.State().operate);
  EXPECT_EQ(static_cast<std::uint8_t>(~state.StatusByte) & 0x10, 0x10);

  // The panel may close the port and come back: the amplifier is still there.
  link->Close();
  link = OpenLink();
  state.FrameReady = false;
  PollOnce(*link, SerialProfile(), state, errorText);
  EXPECT_TRUE(state.FrameReady);
}

// ampsim as a program: a private ports folder, a COM number, a clean stop.
TEST(AmpSimProgram, RegistersItsPortServesItAndRemovesTheLinkOnSigterm) {
  const fs::path home = fs::temp_directory_path() / ("ampsim-test-" + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  const fs::path log = home / "stderr.txt";

  test::AmpSimProcess amp(AMPSIM_PATH, home, {"--com", "9", "--verbose"}, log);
  const std::string& device = amp.Device();
  ASSERT_FALSE(device.empty()) << "ampsim printed no device";

  const fs::path com9 = home / "Norvik" / "ports" / "COM9";
  EXPECT_EQ(fs::read_symlink(com9), device);
  {
    PortSearch search;
    search.portsDir = com9.parent_path();
    SerialLink link([&](int n) { return ResolveComPort(n, search); });
    ASSERT_EQ(link.Open({.comPort = 9, .baudIndex = 6}), 0);
    EXPECT_EQ(link.Write(KeyFrame(SerialProfile(), key::kBandUp)).status, 0);
    // Another process: nothing to watch but time before the poll's purge.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PollState state;
    std::string errorText;
    PollOnce(link, SerialProfile(), state, errorText);
    EXPECT_TRUE(state.FrameReady);
  }

  const int status = amp.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(com9))) << "the link outlived ampsim";

  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  EXPECT_NE(text.str().find("key 3 BAND+"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("display query"), std::string::npos);
  fs::remove_all(home);
}

// The soak changes the faults of one running amplifier through its control file.
TEST(AmpSimProgram, TakesNewFaultsFromItsControlFileOnSighup) {
  const fs::path home =
      fs::temp_directory_path() / ("ampsim-control-" + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  const fs::path log = home / "stderr.txt";
  const fs::path control = home / "faults";

  test::AmpSimProcess amp(AMPSIM_PATH, home, {"--com", "8", "--control", control.string()}, log);
  const std::string& device = amp.Device();
  ASSERT_FALSE(device.empty()) << "ampsim printed no device";

  const auto logText = [&] {
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    return text.str();
  };
  // Writes the file, signals, and waits for the answer in the log.
  const auto setFaults = [&](const std::string& faults, const std::string& expected) {
    std::ofstream(control) << faults;
    amp.Signal(SIGHUP);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (logText().find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_NE(logText().find(expected), std::string::npos) << logText();
  };

  SerialLink link([&](int) { return device; });
  ASSERT_EQ(link.Open({.comPort = 8, .baudIndex = 6}), 0);
  const auto poll = [&] {
    PollState state;
    std::string errorText;
    PollOnce(link, SerialProfile(), state, errorText);
    return state;
  };
  const PollState before = poll();
  ASSERT_TRUE(before.FrameReady);

  setFaults("--bad-check\n", "control: applied: --bad-check");
  EXPECT_FALSE(poll().FrameReady);
  setFaults("--com 5", "--com cannot change while the amplifier runs; nothing changed");
  EXPECT_FALSE(poll().FrameReady) << "a refused file keeps the faults";

  // Back to the command line's faults, and a key pressed on the amplifier.
  setFaults("--press 3", "control: applied: --press 3");
  const PollState after = poll();
  ASSERT_TRUE(after.FrameReady);
  EXPECT_NE(std::vector(before.ReplyBuffer.begin(), before.ReplyBuffer.begin() + 320),
            std::vector(after.ReplyBuffer.begin(), after.ReplyBuffer.begin() + 320))
      << "BAND+ changes the display";

  link.Close();
  const int status = amp.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  fs::remove_all(home);
}

}  // namespace
}  // namespace amppanel
