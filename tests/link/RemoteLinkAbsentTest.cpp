// A build without gensio: a port named by a connection string fails to open
// with words that say why, and the tests that need the library say they were
// skipped.
#include <gtest/gtest.h>

#include "link/LinkStatus.h"
#include "link/remote/RemoteLink.h"
#include "link/serial/ComPortLink.h"

namespace amppanel {
namespace {

TEST(RemoteLinkAbsentTest, RemotePortFailsWithTheReason) {
  ComPortLink link(std::make_unique<SerialLink>([](int) { return std::string(); }),
                   std::make_unique<RemoteLink>(),
                   [](int) { return std::string("telnet(rfc2217),tcp,station,3001"); });
  EXPECT_EQ(link.Open({.comPort = 4, .baudIndex = 6}), kLinkCantOpen);
  EXPECT_TRUE(link.Remote());
  EXPECT_NE(link.OpenFailureDetail().find("cannot reach"), std::string::npos);
}

TEST(RemoteLinkAbsentTest, Ser2netTests) {
  GTEST_SKIP() << "built without gensio (Debian libgensio-dev; scripts/install-deps remote)";
}

}  // namespace
}  // namespace amppanel
