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

TEST(AmpSimOptions, HelpDocumentsEveryOption) {
  const std::string help = AmpSimHelp();
  for (const std::string& name : AmpSimOptionNames()) {
    EXPECT_NE(help.find("  " + name + " "), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace amppanel
