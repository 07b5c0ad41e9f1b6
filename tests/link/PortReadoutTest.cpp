#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/serial/PortReadout.h"

namespace amppanel {
namespace {

namespace fs = std::filesystem;

TEST(PortReadout, PortNumberAndColour) {
  struct Case {
    int port;
    const char* text;
    Rgb colour;
  };
  for (const Case& c : {Case{0, "NONE", kNoPortColour}, Case{1, "COM1", kPortColour},
                        Case{3, "COM3", kPortColour}, Case{256, "COM256", kPortColour}}) {
    const Readout r = ComPortReadout(c.port);
    EXPECT_EQ(r.text, c.text) << c.port;
    EXPECT_EQ(r.colour, c.colour) << c.port;
  }
  EXPECT_EQ(kNoPortColour, (Rgb{255, 255, 0}));
  EXPECT_EQ(kPortColour, (Rgb{0, 255, 0}));
}

TEST(PortReadout, BaudIndexShowsTheRateTheLinkUses) {
  struct Case {
    int index;
    const char* text;
  };
  // Outside the table the link opens at its default rate: the read-out must
  // not promise another.
  for (const Case& c : {Case{0, "9600"}, Case{1, "14400"}, Case{3, "28800"}, Case{5, "57600"},
                        Case{6, "115200"}, Case{7, "115200"}, Case{-1, "115200"}}) {
    EXPECT_EQ(BaudReadout(c.index), c.text) << c.index;
  }
}

class PortExplanationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("amp-explain-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev" / "serial" / "by-id");
    fs::create_directories(root_ / "ports");
  }
  void TearDown() override { fs::remove_all(root_); }
  void Device(const std::string& name) { std::ofstream(root_ / "dev" / name).put('x'); }
  // False where this user may not make symbolic links.
  bool Link(const fs::path& target, const fs::path& link) {
    std::error_code ec;
    fs::create_symlink(target, link, ec);
    return !ec;
  }
  fs::path ById() const { return root_ / "dev" / "serial" / "by-id"; }
  std::string Explain(int port) {
    return ComPortExplanation(port, LocateComPort(port, {root_ / "ports", root_ / "dev"}, ById()));
  }
  fs::path Canonical(const std::string& device) const {
    return fs::canonical(root_ / "dev" / device);
  }

  fs::path root_;
};

TEST_F(PortExplanationTest, NumberedDeviceWithItsStableNameAndHowToPinIt) {
  Device("ttyS0");
  Device("ttyUSB0");
  Device("ttyUSB1");
  if (!Link("../../ttyUSB0", ById() / "usb-FTDI_A-if00-port0") ||
      !Link("../../ttyUSB1", ById() / "usb-FTDI_B-if00-port0")) {
    GTEST_SKIP() << "no symbolic links for this user";
  }
  const ComPortLocation third = LocateComPort(3, {root_ / "ports", root_ / "dev"}, ById());
  EXPECT_FALSE(third.viaPortsLink);
  EXPECT_EQ(third.device, Canonical("ttyUSB1"));
  EXPECT_EQ(third.stableName, ById() / "usb-FTDI_B-if00-port0");
  EXPECT_EQ(Explain(3), "COM3 is " + Canonical("ttyUSB1").string() + "\n(" +
                            (ById() / "usb-FTDI_B-if00-port0").string() +
                            ").\nTo give a device this number, link it as " +
                            (root_ / "ports" / "COM3").string() + ".");
  // No stable name: the device alone.
  EXPECT_EQ(Explain(1).substr(0, Explain(1).find('\n')),
            "COM1 is " + Canonical("ttyS0").string() + ".");
}

TEST_F(PortExplanationTest, PortsFolderLinkNamesTheDeviceItReaches) {
  Device("pts7");
  if (!Link(root_ / "dev" / "pts7", root_ / "ports" / "COM64") ||
      !Link(root_ / "dev" / "gone", root_ / "ports" / "COM65")) {
    GTEST_SKIP() << "no symbolic links for this user";
  }
  EXPECT_EQ(Explain(64), "COM64 is " + Canonical("pts7").string() + "\nlinked as " +
                             (root_ / "ports" / "COM64").string() + ".");
  EXPECT_EQ(Explain(65), "COM65 is linked as " + (root_ / "ports" / "COM65").string() + " to " +
                             (root_ / "dev" / "gone").string() +
                             ", which does not exist on this machine.");
}

TEST_F(PortExplanationTest, TextFileShowsTheStationItLeadsTo) {
  std::ofstream(root_ / "ports" / "COM12") << "telnet(rfc2217),ssl(CA=/home/op/ca.pem),tcp,"
                                              "station.example,3001\n";
  std::ofstream(root_ / "ports" / "COM13") << "# to do\n";
  EXPECT_EQ(Explain(12),
            "COM12 is a port on another machine:\n"
            "telnet(rfc2217),ssl(CA=/home/op/ca.pem),tcp,station.example,3001\n(from " +
                (root_ / "ports" / "COM12").string() + ").");
  EXPECT_EQ(Explain(13), "COM13 is the file " + (root_ / "ports" / "COM13").string() +
                             ", which holds no connection string: connecting fails until it "
                             "does.");
}

TEST_F(PortExplanationTest, MissingPortAndNoPort) {
  EXPECT_EQ(Explain(9),
            "COM9 does not exist on this machine.\nTo give a device this number, "
            "link it as " +
                (root_ / "ports" / "COM9").string() + ".");
  EXPECT_EQ(Explain(0), "No port chosen: connecting fails until one is.");
  // Without a ports folder there is nothing to suggest.
  EXPECT_EQ(ComPortExplanation(9, LocateComPort(9, {"", root_ / "dev"}, ById())),
            "COM9 does not exist on this machine.");
}

}  // namespace
}  // namespace amppanel
