#include <gtest/gtest.h>

#include "sim/AmpSimOptions.h"

namespace amppanel {
namespace {

bool Parse(std::vector<std::string> args, AmpSimConfig& config, std::string& error) {
  return ParseAmpSimArgs(args, config, error);
}

TEST(AmpSimOptions, ParsesValuesInBothFormsAndRefusesBadOnes) {
  AmpSimConfig c;
  std::string error;
  ASSERT_TRUE(Parse({"--com", "4", "--verbose", "--drop=0.25", "--split", "16:5", "--baud", "9600",
                     "--id", "0x7F", "--silence", "10:2000", "--loader-fail", "data",
                     "--loader-silent=end", "--cut-after", "30", "--off"},
                    c, error))
      << error;
  EXPECT_EQ(c.com, 4);
  EXPECT_TRUE(c.verbose);
  EXPECT_TRUE(c.startOff);
  EXPECT_DOUBLE_EQ(c.faults.dropRate, 0.25);
  EXPECT_EQ(c.faults.splitSize, 16u);
  EXPECT_EQ(c.faults.splitGap, milliseconds(5));
  EXPECT_EQ(c.faults.paceBaud, 9600);
  EXPECT_EQ(c.identification, 0x7F);
  EXPECT_EQ(c.silenceAfterFrames, 10);
  EXPECT_EQ(c.silenceMs, 2000);
  EXPECT_EQ(c.faults.cutAfterFrames, 30);
  ASSERT_EQ(c.loaderFaults.size(), 2u);
  EXPECT_EQ(c.loaderFaults[1], std::make_pair(LoaderStep::kEnd, StepFault::kSilent));

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--com", "0"},
                                              {"--com"},
                                              {"--drop", "1.5"},
                                              {"--split", "x"},
                                              {"--verbose=1"},
                                              {"--loader-fail", "bogus"},
                                              {"--frobnicate"},
                                              {"--id", "256"}}) {
    AmpSimConfig fresh;
    error.clear();
    EXPECT_FALSE(Parse(bad, fresh, error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(AmpSimOptions, ControlTextChangesOnlyWhatARunningAmplifierCanChange) {
  AmpSimConfig base;
  std::string error;
  ASSERT_TRUE(Parse({"--com", "3", "--pace", "--drop", "0.5", "--press", "3", "--control", "f"},
                    base, error))
      << error;

  AmpSimConfig c;
  ASSERT_TRUE(
      ParseControlText("--corrupt 0.1 # noise --com 4\n--flood random\n\t--press=2 "
                       "--silence 0:500",
                       base, c, error))
      << error;
  EXPECT_EQ(c.com, 3);
  EXPECT_EQ(c.faults.paceBaud, kDefaultPaceBaud);
  EXPECT_DOUBLE_EQ(c.faults.dropRate, 0.5);
  EXPECT_DOUBLE_EQ(c.faults.corruptRate, 0.1);
  EXPECT_EQ(c.faults.floodByte, kFloodRandom);
  EXPECT_EQ(c.silenceMs, 500);
  // The command line's key was pressed when the amplifier started.
  EXPECT_EQ(c.presses, std::vector<std::uint8_t>{2});

  ASSERT_TRUE(ParseControlText(" \n# nothing\n", base, c, error)) << error;
  EXPECT_DOUBLE_EQ(c.faults.dropRate, 0.5);
  EXPECT_EQ(c.faults.floodByte, kNoFlood);
  EXPECT_TRUE(c.presses.empty());

  ASSERT_TRUE(ParseControlText("--flood 0xAA", base, c, error)) << error;
  EXPECT_EQ(c.faults.floodByte, 0xAA);
  for (const char* bad : {"--com 4", "--verbose", "--control=g", "--operate", "--drop 2",
                          "--press 99", "--flood 256", "--frobnicate"}) {
    error.clear();
    EXPECT_FALSE(ParseControlText(bad, base, c, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_EQ(c.faults.floodByte, 0xAA) << bad << " changed the faults";
  }
}

TEST(AmpSimOptions, HelpDocumentsEveryOption) {
  const std::string help = AmpSimHelp();
  for (const std::string& name : AmpSimOptionNames()) {
    EXPECT_NE(help.find("  " + name + " "), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace amppanel
