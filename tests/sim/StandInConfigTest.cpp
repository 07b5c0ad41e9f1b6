// The stand-in D2XX library's settings: devices, injected failures, cut line,
// amplifier options and log, from a config file and environment variables.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "sim/d2xx/StandInConfig.h"

namespace amppanel {
namespace {

EnvLookup FakeEnv(std::map<std::string, std::string> values) {
  return [values](const char* name) -> std::optional<std::string> {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

TEST(StandInConfig, DefaultsToOneUsableDeviceAndNoFaults) {
  std::string errors;
  const StandInConfig c = LoadStandInConfig(FakeEnv({}), errors);
  EXPECT_EQ(errors, "");
  ASSERT_EQ(c.devices.size(), 1u);
  EXPECT_EQ(c.devices[0].id, kStandInDefaultId);
  EXPECT_EQ(c.devices[0].flags, 0u);
  EXPECT_TRUE(c.failures.empty());
  EXPECT_EQ(c.cutAfterFrames, 0);
  EXPECT_EQ(c.logPath, "");
}

TEST(StandInConfig, DevicesAreIdStringsWithOptionalFlags) {
  std::vector<StandInDevice> d;
  std::string error;
  ASSERT_TRUE(ParseStandInDevices("A1, B2:1 ,C3:0x2", d, error)) << error;
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[1].id, "B2");
  EXPECT_EQ(d[1].flags, 1u);
  EXPECT_EQ(d[2].flags, 2u);
  ASSERT_TRUE(ParseStandInDevices("none", d, error));
  EXPECT_TRUE(d.empty());
  ASSERT_TRUE(ParseStandInDevices("", d, error));
  EXPECT_TRUE(d.empty());
  EXPECT_FALSE(ParseStandInDevices("A1:x", d, error));
}

TEST(StandInConfig, FailuresSelectACallByNameOrRoleAndAnOccurrence) {
  std::vector<StandInFailure> f;
  std::string error;
  ASSERT_TRUE(ParseStandInFailures("FT_Read:2:4, UsbSetBaudRate:3+:7, FT_Open:*:2", f, error))
      << error;
  ASSERT_EQ(f.size(), 3u);
  EXPECT_FALSE(f[0].Matches("FT_Read", "UsbRead", 1));
  EXPECT_TRUE(f[0].Matches("FT_Read", "UsbRead", 2));
  EXPECT_FALSE(f[0].Matches("FT_Read", "UsbRead", 3));
  EXPECT_FALSE(f[1].Matches("FT_SetBaudRate", "UsbSetBaudRate", 2));
  EXPECT_TRUE(f[1].Matches("FT_SetBaudRate", "UsbSetBaudRate", 3));
  EXPECT_TRUE(f[1].Matches("FT_SetBaudRate", "UsbSetBaudRate", 9));
  EXPECT_EQ(f[1].status, 7u);
  EXPECT_TRUE(f[2].Matches("FT_Open", "UsbOpenByIndex", 1));
  EXPECT_FALSE(f[2].Matches("FT_OpenEx", "UsbOpenById", 1));
  for (const char* bad :
       {"FT_Read", "FT_Read:0:4", "FT_Read:1", ":1:4", "FT_Read:x:4", "FT_Read:1:y"}) {
    EXPECT_FALSE(ParseStandInFailures(bad, f, error)) << bad;
  }
}

TEST(StandInConfig, TheFileIsReadFirstAndTheVariablesWin) {
  const auto path = std::filesystem::temp_directory_path() / "amppanel-standin-config-test.conf";
  {
    std::ofstream out(path);
    out << "# stand-in\n"
           "devices = FILE1, FILE2:1\n"
           "fail = FT_Write:1:4\n"
           "cut_after = 7\n"
           "ampsim = --off  --boot-ms 10\n"
           "log = /tmp/from-file.log\n";
  }
  std::string errors;
  const StandInConfig c = LoadStandInConfig(FakeEnv({{kStandInConfigVariable, path.string()},
                                                     {kStandInDevicesVariable, "ENV1"},
                                                     {kStandInLogVariable, "/tmp/from-env.log"}}),
                                            errors);
  std::filesystem::remove(path);
  EXPECT_EQ(errors, "");
  ASSERT_EQ(c.devices.size(), 1u);
  EXPECT_EQ(c.devices[0].id, "ENV1");
  ASSERT_EQ(c.failures.size(), 1u);
  EXPECT_EQ(c.failures[0].call, "FT_Write");
  EXPECT_EQ(c.cutAfterFrames, 7);
  EXPECT_EQ(c.ampsimArgs, (std::vector<std::string>{"--off", "--boot-ms", "10"}));
  EXPECT_EQ(c.logPath, "/tmp/from-env.log");
}

TEST(StandInConfig, ProblemsAreCollectedWithTheirPlace) {
  StandInConfig c;
  std::string errors;
  EXPECT_FALSE(ParseStandInConfigText("devices = A\nnonsense\ncolour = red\n", c, errors));
  EXPECT_NE(errors.find("line 2"), std::string::npos) << errors;
  EXPECT_NE(errors.find("line 3: unknown setting \"colour\""), std::string::npos) << errors;
  errors.clear();
  (void)LoadStandInConfig(FakeEnv({{kStandInCutAfterVariable, "-3"},
                                   {kStandInConfigVariable, "/nonexistent/stand-in.conf"}}),
                          errors);
  EXPECT_NE(errors.find("AMPPANEL_D2XX_CUT_AFTER"), std::string::npos) << errors;
  EXPECT_NE(errors.find("cannot be read"), std::string::npos) << errors;
}

}  // namespace
}  // namespace amppanel
