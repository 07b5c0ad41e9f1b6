// The firmware update through the session, against the virtual amplifier's
// loader: polling stops, the blocks arrive, the texts are drawn into the
// message rows, and polling comes back with the keys as each program wants.
#include <gtest/gtest.h>

#include <algorithm>

#include "session/PanelSession.h"
#include "sim/AmpEngine.h"
#include "sim/SimLink.h"
#include "tests/support/ManualClock.h"
#include "tests/update/UpdateTestSupport.h"

namespace amppanel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

struct Observer final : SessionObserver {
  bool ConnectStillWanted() const override { return true; }
  void ShowConnectProgress(ConnectStep) override {}
  void ShowOnLine(bool onLine) override { events.push_back(onLine ? "on-line" : "off-line"); }
  void ShowDisplay() override {}
  void ShowLamps(std::uint8_t) override {}
  void OfferUpdate(bool) override {}
  void PollingRestarted() override {}
  void ShowLineLost(bool) override {}
  void ReportConnectFailure(const std::string& text) override {
    events.push_back("connect failure: " + text);
  }
  void ReportLinkFailure(const std::string& text) override {
    events.push_back("link failure: " + text);
  }
  void ShowUpdating(bool updating, bool keysUsable) override {
    events.push_back(updating ? "updating" : keysUsable ? "updated, keys on" : "updated, keys off");
  }
  void ReportUpdateFailure(const std::string& text) override {
    events.push_back("update failure: " + text.substr(0, text.find(':')));
  }
  bool Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  std::vector<std::string> events;
};

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
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      ui.RunNext(1ms);
    }
    return true;
  }
  const BuildProfile& profile;
  QueueUiThread ui;
  test::ManualClock clock;
  AmpEngine engine;
  SimLink* sim = nullptr;
  Observer observer;
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
    EXPECT_TRUE(rig.observer.Saw("updating"));
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
    EXPECT_TRUE(
        rig.observer.Saw("update failure: Data consistency check failed while processing file"))
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
