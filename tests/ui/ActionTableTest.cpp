// The operator commands as data: the key rows against the key model.
#include <gtest/gtest.h>

#include <set>

#include "keys/Keys.h"
#include "ui/ActionTable.h"

namespace amppanel {
namespace {

TEST(KeyActions, RowsFollowTheEnablingOrderWithoutShortcuts) {
  const auto rows = KeyActions(SerialProfile());
  ASSERT_GE(rows.size(), kPanelKeyCount);
  std::set<char> letters;
  for (std::size_t i = 0; i < kPanelKeyCount; ++i) {
    const PanelKey key = AllPanelKeys()[i];
    EXPECT_EQ(Index(key), i);
    EXPECT_EQ(rows[i].name, ActionName(key));
    EXPECT_TRUE(rows[i].shortcut.empty()) << rows[i].name;
    EXPECT_TRUE(rows[i].category == "LeftGroup" || rows[i].category == "RightGroup");
    // One window shows every key: a letter may stand for one button only.
    if (const char letter = Accelerator(rows[i].caption)) {
      EXPECT_TRUE(letters.insert(letter).second) << rows[i].name;
    }
  }
  EXPECT_EQ(letters, (std::set<char>{'I', 'A', 'L', 'B', 'C', 'U', 'S', '-', '+', 'D', 'P', 'O',
                                     'T', 'F', 'N'}));
}

}  // namespace
}  // namespace amppanel
