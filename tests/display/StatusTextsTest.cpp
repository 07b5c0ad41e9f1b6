// The status bar's texts for each state the operator can see.
#include <gtest/gtest.h>

#include "display/StatusTexts.h"

namespace amppanel {
namespace {

struct StateCase {
  const char* name;
  bool onLine;
  bool lineLost;
  bool frozen;
  const char* panel0;
};

TEST(StatusTexts, FirstPanelTellsTheLinkState) {
  const StateCase cases[] = {
      {"off-line", false, false, false, "OFF-LINE"},
      {"off-line, a stale freeze mark", false, false, true, "OFF-LINE"},
      {"on-line", true, false, false, "ON-LINE"},
      {"frozen", true, false, true, "STILL IMAGE"},
      {"port gone, being reopened", true, true, false, "NO LINK"},
      {"port gone while frozen", true, true, true, "NO LINK"},
  };
  for (const StateCase& c : cases) {
    StatusInputs in;
    in.onLine = c.onLine;
    in.lineLost = c.lineLost;
    in.frozen = c.frozen;
    EXPECT_EQ(MakeStatusTexts(in).panels[0], c.panel0) << c.name;
  }
}

TEST(StatusTexts, SizesPortsAndDevice) {
  StatusInputs in;
  in.presetItem = 3;
  in.displayWidth = 743;
  in.displayHeight = 249;
  in.link.comPort = 12;
  in.link.baudIndex = 5;
  StatusTexts t = MakeStatusTexts(in);
  EXPECT_EQ(t.panels[1], "F3");
  EXPECT_EQ(t.panels[2], "W:  744");
  EXPECT_EQ(t.panels[3], "H:  250");
  EXPECT_EQ(t.panels[4], "Port: COM12");
  EXPECT_EQ(t.panels[5], "Baud Rate: 57600");
  EXPECT_EQ(t.panels[6], "8, 1, N");
  EXPECT_EQ(t.hint, "W:  744; H:  250");

  in.link.comPort = 0;
  t = MakeStatusTexts(in);
  EXPECT_EQ(t.panels[4], "Port: NONE");
  EXPECT_EQ(t.panels[5], "");
  EXPECT_FALSE(t.panels[6].has_value()) << "the data format stays as it was";

  in.serial = false;
  in.link.usbIdString = "KALDOR01";
  EXPECT_EQ(MakeStatusTexts(in).panels[4], "USB_ID: Not enabled");
  in.link.usbIdEnabled = true;
  t = MakeStatusTexts(in);
  EXPECT_EQ(t.panels[4], "USB_ID: [KALDOR01]");
  EXPECT_FALSE(t.panels[5].has_value());
}

}  // namespace
}  // namespace amppanel
