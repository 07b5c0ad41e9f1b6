// Windows stay where the operator can grab them.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Placement.h"

namespace amppanel {
namespace {

const ScreenRect kPrimary{0, 0, 1600, 1000};
const ScreenRect kRightOfIt{1600, 0, 1280, 1024};

struct PlacementCase {
  const char* name;
  ScreenRect frame;
  ScreenRect expected;
};

TEST(KeepOnScreen, WindowsTheOperatorCanGrabStayAndOthersComeOntoThePrimaryScreen) {
  const std::vector<ScreenRect> screens{kPrimary, kRightOfIt};
  const PlacementCase cases[] = {
      {"on the primary screen", {100, 100, 752, 283}, {100, 100, 752, 283}},
      {"on the second screen", {2000, 500, 752, 283}, {2000, 500, 752, 283}},
      {"mostly off the left edge, title bar still grabbable",
       {-700, 10, 752, 283},
       {-700, 10, 752, 283}},
      // A stored height of 100000 wrapped by the window system.
      {"a wrapped size above the screen", {0, -2239, 754, 32742}, {0, 0, 754, 1000}},
      {"right of every screen", {5000, 100, 752, 283}, {848, 100, 752, 283}},
      {"below every screen", {100, 1020, 752, 283}, {100, 717, 752, 283}},
      {"only a sliver of title bar", {-748, 100, 752, 283}, {0, 100, 752, 283}},
      {"wider than the primary screen", {-9000, -9000, 4000, 300}, {0, 0, 1600, 300}},
  };
  for (const PlacementCase& c : cases) {
    EXPECT_EQ(KeepOnScreen(c.frame, screens), c.expected) << c.name;
  }
}

TEST(KeepOnScreen, ExtremeStoredValuesDoNotOverflow) {
  const std::vector<ScreenRect> screens{kPrimary};
  const ScreenRect placed = KeepOnScreen({2147483000, 2147483000, 2147483000, 5}, screens);
  EXPECT_EQ(placed, (ScreenRect{0, 995, 1600, 5}));
  EXPECT_EQ(KeepOnScreen({1, 2, 3, 4}, {}), (ScreenRect{1, 2, 3, 4})) << "no screen known";
}

}  // namespace
}  // namespace amppanel
