// The firmware update through the session, against the virtual amplifier's
// loader: polling stops, the blocks arrive, the texts are drawn into the
// message rows, and polling comes back with the keys as each program wants.
#include <gtest/gtest.h>

#include <algorithm>

#include "session/PanelSession.h"
#include "sim/AmpEngine.h"
#include "sim/SimLink.h"
#include "tests/session/SessionHarness.h"
#include "tests/support/ManualClock.h"
#include "tests/update/UpdateTestSupport.h"

namespace amppanel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

AmpEngineOptions FastEngine() {
  AmpEngineOptions options;
  options.timeDivisor = 20;
  return options;
}

struct Rig {
  explicit Rig(const BuildProfile& p) : profile(p), engine(FastEngine()) {
    auto link = std::make_unique<SimLink>(engine);
    sim = link.get();
    session = std::make_unique<PanelSession>(profile, std::move(link), ui, clock, observer);
    session->Settings().comPort = 1;
  }
  ~Rig() { session.reset(); }
  template <class Pred>
  bool PumpUntil(Pred pred) {
    return test::PumpUntil(ui, pred, 20s);
  }
  const BuildProfile& profile;
  QueueUiThread ui;
  test::ManualClock clock;
  AmpEngine engine;
  SimLink* sim = nullptr;
  test::RecordingObserver observer;
  std::unique_ptr<PanelSession> session;
  test::TempFolder folder;
};

TEST(SessionUpdate, PackageArrivesAndPollingComesBackInBothPrograms) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    Rig rig(*profile);
    rig.session->Connect();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->Polling(); }));
    const Bytes package = test::PackageOf(3);
    rig.session->SendKey(kArmLoaderCode);
    rig.session->StartUpdate(rig.folder.Write("fw.PK3", package));
    EXPECT_FALSE(rig.session->Polling()) << "the upload owns the link";
    EXPECT_TRUE(rig.session->Updating());
    ASSERT_TRUE(rig.PumpUntil([&] { return !rig.session->Updating(); }));
    EXPECT_EQ(rig.observer.events.back(), "updated, keys on") << profile->programName;
    EXPECT_TRUE((rig.observer.Count("updating") > 0));
    const auto blocks = rig.engine.Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const Bytes expected = test::Image(3 * kBlockDataSize);
      EXPECT_TRUE(std::equal(blocks[i].data.begin(), blocks[i].data.end(),
                             expected.begin() + static_cast<long>(i * kBlockDataSize)));
    }
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->Polling(); }));
    EXPECT_TRUE(rig.session->OnLine());
  }
}

TEST(SessionUpdate, ACorruptPackageEndsWithABoxAndUsbKeepsTheKeysOff) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    Rig rig(*profile);
    rig.session->Connect();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->Polling(); }));
    const Bytes package = Damaged(test::PackageOf(2), PackageDamage::kBadPackageSum, *profile);
    rig.session->StartUpdate(rig.folder.Write("bad.PK3", package));
    ASSERT_TRUE(rig.PumpUntil([&] { return !rig.session->Updating(); }));
    EXPECT_TRUE(rig.observer.SawStarting(
        "update failure: Data consistency check failed while processing file"))
        << profile->programName;
    const bool serial = profile->link == LinkKind::kSerial;
    EXPECT_EQ(rig.observer.events.back(), serial ? "updated, keys on" : "updated, keys off");
    EXPECT_TRUE(rig.engine.Blocks().empty()) << "nothing was sent of a bad package";
    // Mirroring resumes either way.
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->Polling(); }));
  }
}

}  // namespace
}  // namespace amppanel
