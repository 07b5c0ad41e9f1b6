#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/serial/ComPortNames.h"
#include "tests/support/ScopedEnv.h"

namespace amppanel {
namespace {

namespace fs = std::filesystem;

class ComPortNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("amp-ports-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev");
    fs::create_directories(root_ / "ports");
  }
  void TearDown() override { fs::remove_all(root_); }
  void Touch(const std::string& name) { std::ofstream(root_ / "dev" / name).put('x'); }
  PortSearch Search() const { return {root_ / "ports", root_ / "dev"}; }

  fs::path root_;
};

TEST_F(ComPortNamesTest, NumbersSeriesInOrderEachEndingAtItsFirstGap) {
  for (const char* name : {"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyUSB1", "ttyACM1"}) Touch(name);
  const auto devices = NumberedSerialDevices(root_ / "dev");
  ASSERT_EQ(devices.size(), 4u);  // ttyS3 and ttyACM1 follow a gap
  EXPECT_EQ(fs::path(devices[0]).filename(), "ttyS0");
  EXPECT_EQ(fs::path(devices[2]).filename(), "ttyUSB0");
  EXPECT_EQ(fs::path(ResolveComPort(4, Search())).filename(), "ttyUSB1");
  EXPECT_EQ(ResolveComPort(5, Search()), "");
  EXPECT_EQ(ResolveComPort(0, Search()), "");
  EXPECT_EQ(ResolveComPort(-3, Search()), "");
}

TEST_F(ComPortNamesTest, PortsFolderLinkWinsEvenWhenDangling) {
  Touch("ttyS0");
  std::error_code ec;
  fs::create_symlink(root_ / "dev" / "elsewhere", root_ / "ports" / "COM1", ec);
  if (ec) GTEST_SKIP() << "no symbolic links on this system for this user: " << ec.message();
  EXPECT_EQ(ResolveComPort(1, Search()), (root_ / "ports" / "COM1").string());
  EXPECT_EQ(fs::path(ResolveComPort(1, {root_ / "none", root_ / "dev"})).filename(), "ttyS0");
}

// A text file in the ports folder names a port on another machine: it must
// never be opened as the device (the amplifier's frames would land in it), nor
// fall back to the numbered devices.
TEST_F(ComPortNamesTest, TextFileNamesARemotePortAndIsNoDevice) {
#ifdef _WIN32
  GTEST_SKIP() << "COM1 ... COM9 are device names on Windows: no file can take them, and COM "
                  "numbers there are the system's own ports";
#endif
  Touch("ttyS0");
  Touch("ttyS1");
  std::ofstream(root_ / "ports" / "COM2")
      << "\n# the station\n   telnet(rfc2217),tcp,station.example,3001 \r\nsecond line\n";
  EXPECT_EQ(ResolveComPort(2, Search()), "");
  EXPECT_EQ(RemotePortTarget(2, Search()), "telnet(rfc2217),tcp,station.example,3001");
  // Numbered devices and missing entries name no station.
  EXPECT_EQ(RemotePortTarget(1, Search()), "");
  EXPECT_EQ(RemotePortTarget(7, Search()), "");
  EXPECT_EQ(RemotePortTarget(0, Search()), "");

  // Nothing but comments, or a file far too big for one line: no connection.
  std::ofstream(root_ / "ports" / "COM3") << "# not yet\n\n";
  EXPECT_EQ(RemotePortTarget(3, Search()), "");
  EXPECT_EQ(ResolveComPort(3, Search()), "");
  std::ofstream(root_ / "ports" / "COM4") << std::string(10000, 'x');
  EXPECT_EQ(RemotePortTarget(4, Search()), "");
  // A folder is not a file.
  fs::create_directories(root_ / "ports" / "COM5");
  EXPECT_EQ(RemotePortTarget(5, Search()), "");
}

TEST_F(ComPortNamesTest, StopsAtTwoHundredFiftySixDevices) {
  for (int i = 0; i < 300; ++i) Touch("ttyS" + std::to_string(i));
  EXPECT_EQ(NumberedSerialDevices(root_ / "dev").size(), 256u);
}

TEST(DefaultPortsDir, FollowsXdgConfigHomeElseHome) {
  {
    test::ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg-test");
    EXPECT_EQ(DefaultPortsDir(), fs::path("/tmp/xdg-test/Norvik/ports"));
  }
  test::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  test::ScopedEnv home("HOME", "/home/op");
  EXPECT_EQ(DefaultPortsDir(), fs::path("/home/op/.config/Norvik/ports"));
}

}  // namespace
}  // namespace amppanel
