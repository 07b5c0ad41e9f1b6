// pk3tool as its users run it: make, list and corrupt, with exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/update/UpdateTestSupport.h"

namespace amppanel {
namespace {

using test::Bytes;

int Tool(const std::string& args, const test::TempFolder& folder) {
  const std::string command =
      std::string(PK3TOOL_PATH) + " " + args + " > " + folder.Path("out.txt") + " 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Pk3Tool, MakesAPackageThatTheProgramsAccept) {
  test::TempFolder folder;
  const Bytes image = test::Image(2 * kBlockDataSize + 17);
  const std::string in = folder.Write("image.bin", image);
  const std::string out = folder.Path("fw.PK3");
  ASSERT_EQ(Tool("make " + in + " " + out + " --tag 0x21", folder), 0);
  const Bytes package = test::ReadFileBytes(out);
  EXPECT_EQ(package, BuildPackage(image, {.tag = 0x21})) << "the same writer as the tests'";
  EXPECT_EQ(ValidatePackage(out, UsbProfile()).blocks, 3);
  EXPECT_EQ(Tool("list " + out, folder), 0);
  EXPECT_EQ(Tool("list " + out + " --usb", folder), 0);
  const Bytes listing = test::ReadFileBytes(folder.Path("out.txt"));
  const std::string text(listing.begin(), listing.end());
  EXPECT_NE(text.find("verdict: valid, 3 block(s)"), std::string::npos) << text;
  EXPECT_NE(text.find("    3  0x21"), std::string::npos) << text;

  const std::string scrambled = folder.Path("s.PK3");
  ASSERT_EQ(Tool("make " + in + " " + scrambled + " --scramble 0x5A", folder), 0);
  EXPECT_EQ(Tool("list " + scrambled + " --id 0x5A", folder), 0);
  EXPECT_EQ(Tool("list " + scrambled, folder), 1) << "another key";
  EXPECT_EQ(Tool("list " + scrambled + " --usb", folder), 1);
}

TEST(Pk3Tool, EveryDamageIsRefusedByListExceptTrailingBytes) {
  test::TempFolder folder;
  const std::string good = folder.Write("good.PK3", test::PackageOf(2));
  for (const auto& info : PackageDamages()) {
    SCOPED_TRACE(std::string(info.name));
    const std::string bad = folder.Path(std::string(info.name) + ".PK3");
    ASSERT_EQ(Tool("corrupt " + std::string(info.name) + " " + good + " " + bad, folder), 0);
    EXPECT_EQ(test::ReadFileBytes(bad), Damaged(test::PackageOf(2), info.damage));
    EXPECT_EQ(Tool("list " + bad, folder), info.damage == PackageDamage::kTrailing ? 0 : 1);
  }
}

TEST(Pk3Tool, UsageErrorsAndHelp) {
  test::TempFolder folder;
  EXPECT_EQ(Tool("--help", folder), 0);
  const Bytes help = test::ReadFileBytes(folder.Path("out.txt"));
  EXPECT_NE(std::string(help.begin(), help.end()).find("pk3tool corrupt KIND FILE OUT"),
            std::string::npos);
  EXPECT_EQ(Tool("", folder), 2);
  EXPECT_EQ(Tool("make", folder), 2);
  EXPECT_EQ(Tool("make a b --tag 255", folder), 2) << "0xFF is the end marker";
  EXPECT_EQ(Tool("corrupt nonsense a b", folder), 2);
  EXPECT_EQ(Tool("list " + folder.Path("missing.PK3"), folder), 1);
  EXPECT_EQ(
      Tool("corrupt block-sum " + folder.Path("missing.PK3") + " " + folder.Path("x"), folder), 1);
}

}  // namespace
}  // namespace amppanel
