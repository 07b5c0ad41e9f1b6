#include <gtest/gtest.h>

#include "link/LinkStatus.h"

namespace amppanel {
namespace {

std::string Raised(const BuildProfile& profile, int status, int location) {
  try {
    RaiseLinkError(profile, status, location);
  } catch (const FT_Exception& e) {
    return e.what();
  }
  return "<nothing>";
}

struct RaiseCase {
  int status;
  int location;
  const char* serial;
  const char* usb;
  friend void PrintTo(const RaiseCase& c, std::ostream* os) {
    *os << c.status << " at " << c.location;
  }
};

class RaiseLinkErrorTest : public ::testing::TestWithParam<RaiseCase> {};

TEST_P(RaiseLinkErrorTest, FormatsTheOperatorText) {
  const RaiseCase& c = GetParam();
  EXPECT_EQ(Raised(SerialProfile(), c.status, c.location), c.serial);
  EXPECT_EQ(Raised(UsbProfile(), c.status, c.location), c.usb);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RaiseLinkErrorTest,
    ::testing::Values(
        RaiseCase{0, 1071, "<nothing>", "<nothing>"}, RaiseCase{-5, 1071, "<nothing>", "<nothing>"},
        RaiseCase{1000, 1071, "PROCESS ABORTED...  #[1071]", "PROCESS ABORTED...  #[1071]"},
        RaiseCase{1, -1, "CAN'T OPEN SERIAL LINK...", "CAN'T OPEN USB LINK..."},
        RaiseCase{1, 1071, "CAN'T OPEN SERIAL LINK...  #[1071]", "CAN'T OPEN USB LINK...  #[1071]"},
        RaiseCase{4, 1264, "FATAL ERROR ON SERIAL LINK...  #[1264]",
                  "FATAL ERROR ON USB LINK...  #[1264]"},
        RaiseCase{2, 1027, "USB DEVICE NOT FOUND...  #[1027]", "USB DEVICE NOT FOUND...  #[1027]"},
        RaiseCase{20, 0, "FT_UNKNOWN_ERROR  #[0]", "FT_UNKNOWN_ERROR  #[0]"},
        RaiseCase{21, -1, "PROCESS ABORTED...", "PROCESS ABORTED..."},
        RaiseCase{22, -1, "PROCESS ABORTED...", "PROCESS ABORTED..."}));

TEST(LinkStatusTable, HasTwentyTwoTextsSharedButForEntriesOneAndFour) {
  for (int entry = 0; entry < kLinkStatusCount; ++entry) {
    EXPECT_FALSE(LinkStatusText(SerialProfile(), entry).empty()) << entry;
    if (entry != 1 && entry != 4) {
      EXPECT_EQ(LinkStatusText(SerialProfile(), entry), LinkStatusText(UsbProfile(), entry));
    }
  }
  EXPECT_EQ(LinkStatusText(SerialProfile(), 19), "FT_DEVICE_LIST_NOT_READY");
}

}  // namespace
}  // namespace amppanel
