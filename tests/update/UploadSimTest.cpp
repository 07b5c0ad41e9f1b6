// Whole uploads against the virtual amplifier (sim/AmpEngine through the
// in-process link), in both programs' conversations: what the loader received,
// the frames in order, and how refusals, silence, a cut link and corrupt
// packages end the run.
#include <gtest/gtest.h>

#include <mutex>

#include "sim/AmpEngine.h"
#include "sim/SimLink.h"
#include "tests/update/UpdateTestSupport.h"

namespace amppanel {
namespace {

using test::Bytes;
using test::PackageOf;
using test::TempFolder;
using test::UploadRun;

// Passes everything to the link beneath and keeps what was handed to Write,
// including writes the link refused.
class TapLink final : public Link {
 public:
  explicit TapLink(Link& inner) : inner_(inner) {}
  int Open(const LinkSettings& s) override { return inner_.Open(s); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  LinkResult Write(std::span<const std::uint8_t> data) override {
    writes.emplace_back(data.begin(), data.end());
    return inner_.Write(data);
  }
  LinkResult Read(std::span<std::uint8_t> buffer) override { return inner_.Read(buffer); }
  int Purge() override { return inner_.Purge(); }
  void LinePulse() override { inner_.LinePulse(); }
  void LineRest() override { inner_.LineRest(); }
  std::vector<Bytes> writes;

 private:
  Link& inner_;
};

// The amplifier, its link, and the frames it understood, in order.
struct Amplifier {
  explicit Amplifier(const BuildProfile& p) : profile(p), engine(Options()), sim(engine), tap(sim) {
    sim.Open({});
    engine.SetFrameObserver([this](const FrameEvent& e) {
      if (e.checkOk) frames.push_back(e.payload);
    });
  }
  static AmpEngineOptions Options() {
    AmpEngineOptions options;
    options.timeDivisor = 20;  // read time-outs of 1.6 s last 80 ms
    return options;
  }
  // As the session does it: code 100 while the operator chooses the file, then the worker.
  UploadOutcome Upload(const std::string& path) {
    tap.Write(KeyFrame(profile, kArmLoaderCode));
    run = std::make_unique<UploadRun>(tap, profile);
    return run->Go(path);
  }
  // The frames the amplifier understood after code 100.
  std::vector<Bytes> FramesAfterArming() const {
    std::vector<Bytes> after;
    bool armed = false;
    for (const auto& f : frames) {
      if (armed) after.push_back(f);
      armed = armed || f == Bytes{kArmLoaderCode};
    }
    return after;
  }
  int Count(const Bytes& payload) const {
    return static_cast<int>(std::count(frames.begin(), frames.end(), payload));
  }
  // Writes handed to the link (an attempt counts even if the amplifier lost it).
  int Written(const Bytes& write) const {
    return static_cast<int>(std::count(tap.writes.begin(), tap.writes.end(), write));
  }

  const BuildProfile& profile;
  AmpEngine engine;
  SimLink sim;
  TapLink tap;
  std::vector<Bytes> frames;
  std::unique_ptr<UploadRun> run;
  TempFolder folder;
};

const Bytes kIdentify{0x81};
const Bytes kEnd{0xCF};
Bytes Code(std::uint8_t c) { return {c}; }

class UploadAgainstAmplifier : public testing::TestWithParam<const BuildProfile*> {
 protected:
  const BuildProfile& Profile() const { return *GetParam(); }
  bool Serial() const { return GetParam()->link == LinkKind::kSerial; }
  std::string Located(int location) const {
    return Serial() ? "" : " \r#[" + std::to_string(location) + "]";
  }
};

TEST_P(UploadAgainstAmplifier, DeliversEveryBlockByteForByteThenFinishesWith103) {
  Amplifier amp(Profile());
  const Bytes image = test::Image(3 * kBlockDataSize - 1000, 7);
  const Bytes package = BuildPackage(image, {.tag = 0x2C});
  const UploadOutcome outcome = amp.Upload(amp.folder.Write("fw.PK3", package));
  ASSERT_EQ(outcome.result, UploadResult::kSucceeded) << outcome.message;

  const auto blocks = amp.engine.Blocks();
  ASSERT_EQ(blocks.size(), 3u);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(blocks[i].tag, 0x2C);
    Bytes expected(kBlockDataSize, 0xFF);
    const std::size_t from = i * kBlockDataSize;
    std::copy(
        image.begin() + static_cast<std::ptrdiff_t>(from),
        image.begin() + static_cast<std::ptrdiff_t>(std::min(image.size(), from + kBlockDataSize)),
        expected.begin());
    EXPECT_EQ(blocks[i].data, expected);
  }

  std::vector<Bytes> expected;
  if (Serial()) expected.push_back(kIdentify);
  expected.push_back(Code(kStartLoaderCode));
  for (const auto& b : blocks) {
    expected.push_back({0xC0, b.tag});
    expected.push_back(b.data);
  }
  expected.push_back(kEnd);
  expected.push_back(Code(kFinishCode));
  EXPECT_EQ(amp.FramesAfterArming(), expected);
  EXPECT_EQ(amp.engine.State().power, PowerState::kBooting) << "the loader restarts the amplifier";
  EXPECT_EQ(amp.run->Progress(),
            (std::vector<std::string>{ProgressText(33), ProgressText(66), ProgressText(99)}));
  EXPECT_EQ(amp.run->statuses.back(), kSucceededText);
  EXPECT_EQ(std::count(amp.run->events.begin(), amp.run->events.end(), "pulse"), 1);
}

TEST_P(UploadAgainstAmplifier, ALoaderThatNeverAcknowledges102CostsTenAttempts) {
  for (const bool everything : {false, true}) {
    SCOPED_TRACE(everything ? "no acknowledgement at all" : "start code unanswered");
    Amplifier amp(Profile());
    if (everything) {
      FaultSettings faults;
      faults.neverAcknowledge = true;
      amp.engine.SetFaults(faults);
    } else {
      amp.engine.SetLoaderFault(LoaderStep::kStart, StepFault::kSilent);
    }
    const std::string path = amp.folder.Write("fw.PK3", PackageOf(2));
    const UploadOutcome outcome = amp.Upload(path);
    EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
    EXPECT_EQ(outcome.message,
              "Data consistency check failed while processing file:\n  " + path + Located(1560));
    EXPECT_EQ(amp.Written(KeyFrame(Profile(), kStartLoaderCode)), 10);
    EXPECT_EQ(amp.frames.back(), Code(kCancelCode)) << "101 ends the failed run";
    EXPECT_TRUE(amp.engine.Blocks().empty());
    EXPECT_EQ(amp.run->statuses.back(), kFailedText);
  }
}

TEST_P(UploadAgainstAmplifier, EachRefusalEndsTheRunAfterItsAttempts) {
  struct Case {
    LoaderStep step;
    Bytes attempt;
    int attempts;
    int location;
  };
  const std::vector<Case> cases{
      {LoaderStep::kAnnounce, AnnouncementHead(), 3, 1604},
      {LoaderStep::kData, DataFrameHead(), 3, 1634},
      {LoaderStep::kEnd, EndFrame(), 1, 1660},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    Amplifier amp(Profile());
    amp.engine.SetLoaderFault(c.step, StepFault::kFail);
    const std::string path = amp.folder.Write("fw.PK3", PackageOf(2));
    const UploadOutcome outcome = amp.Upload(path);
    EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
    EXPECT_EQ(outcome.message, "Data consistency check failed while processing file:\n  " + path +
                                   Located(c.location));
    EXPECT_EQ(amp.run->errorBox, outcome.message);
    EXPECT_EQ(amp.Written(c.attempt), c.attempts);
    EXPECT_EQ(amp.frames.back(), Code(kCancelCode));
    EXPECT_EQ(amp.Count(Code(kFinishCode)), 0);
    EXPECT_EQ(amp.engine.Loader(), LoaderPhase::kIdle) << "101 sent the loader back to idle";
  }
}

TEST_P(UploadAgainstAmplifier, SingleRefusalsAreRetriedAndTheBlocksArriveWhole) {
  Amplifier amp(Profile());
  amp.engine.SetLoaderFault(LoaderStep::kAnnounce, StepFault::kFail, 1);
  amp.engine.SetLoaderFault(LoaderStep::kData, StepFault::kFail, 2);
  const Bytes package = PackageOf(2);
  const UploadOutcome outcome = amp.Upload(amp.folder.Write("fw.PK3", package));
  ASSERT_EQ(outcome.result, UploadResult::kSucceeded) << outcome.message;
  const auto blocks = amp.engine.Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_TRUE(std::equal(blocks[1].data.begin(), blocks[1].data.end(),
                         package.begin() + 5 + kBlockRecordSize + 1));
  const auto sleeps = amp.run->clock.Sleeps();
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), kUsbRetryPause), Serial() ? 0 : 2);
}

TEST_P(UploadAgainstAmplifier, ALinkCutMidTransferEndsTheRun) {
  Amplifier amp(Profile());
  // 100, (serial: identification), 102, then block 1's announcement and data.
  FaultSettings cut;
  cut.cutAfterFrames = Serial() ? 5 : 4;
  amp.engine.SetFaults(cut);
  const std::string path = amp.folder.Write("fw.PK3", PackageOf(3));
  const UploadOutcome outcome = amp.Upload(path);
  EXPECT_EQ(amp.engine.Blocks().size(), 1u);
  EXPECT_EQ(amp.run->Progress(), std::vector<std::string>{ProgressText(33)});
  if (Serial()) {
    // The serial program does not examine link statuses: the cut shows as
    // missing acknowledgements.
    EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
    EXPECT_EQ(amp.run->statuses.back(), kFailedText);
    EXPECT_EQ(amp.tap.writes.back(), KeyFrame(Profile(), kCancelCode));
  } else {
    EXPECT_EQ(outcome.result, UploadResult::kLinkFailed);
    EXPECT_EQ(outcome.message, "FATAL ERROR ON USB LINK...  #[1592]");
    EXPECT_EQ(amp.run->linkFailure, outcome.message);
    EXPECT_EQ(amp.run->statuses.back(), kInterruptedText);
    EXPECT_TRUE(amp.run->errorBox.empty());
    EXPECT_EQ(
        std::count(amp.tap.writes.begin(), amp.tap.writes.end(), KeyFrame(Profile(), kCancelCode)),
        0)
        << "no 101 after a link failure";
  }
  EXPECT_EQ(amp.run->events.back(), "finish");
}

TEST_P(UploadAgainstAmplifier, ACorruptPackageSendsNothingToTheLoaderThen101) {
  for (const auto& info : PackageDamages()) {
    if (info.damage == PackageDamage::kTrailing) continue;
    SCOPED_TRACE(std::string(info.name));
    Amplifier amp(Profile());
    const std::string path = amp.folder.Write("bad.PK3", Damaged(PackageOf(2), info.damage));
    const UploadOutcome outcome = amp.Upload(path);
    EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
    std::vector<Bytes> expected;
    if (Serial()) expected.push_back(kIdentify);  // step 3 comes before the file is read
    expected.push_back(Code(kCancelCode));
    EXPECT_EQ(amp.FramesAfterArming(), expected);
    EXPECT_EQ(amp.run->statuses,
              (std::vector<std::string>{std::string(kValidatingText), std::string(kFailedText)}));
  }
}

TEST_P(UploadAgainstAmplifier, TrailingBytesAndZeroBlocksUploadAsAnyPackage) {
  {
    Amplifier amp(Profile());
    const Bytes package = Damaged(PackageOf(1), PackageDamage::kTrailing);
    EXPECT_EQ(amp.Upload(amp.folder.Write("t.PK3", package)).result, UploadResult::kSucceeded);
    EXPECT_EQ(amp.engine.Blocks().size(), 1u);
  }
  Amplifier amp(Profile());
  const UploadOutcome outcome = amp.Upload(amp.folder.Write("empty.PK3", PackageOf(0)));
  EXPECT_EQ(outcome.result, UploadResult::kSucceeded) << outcome.message;
  std::vector<Bytes> expected;
  if (Serial()) expected.push_back(kIdentify);
  expected.insert(expected.end(), {Code(kStartLoaderCode), kEnd, Code(kFinishCode)});
  EXPECT_EQ(amp.FramesAfterArming(), expected);
  EXPECT_EQ(amp.run->statuses.back(), kSucceededText);
}

TEST_P(UploadAgainstAmplifier, AHeaderScrambledForTheAmplifiersIdentification) {
  Amplifier amp(Profile());
  const std::uint8_t id = Amplifier::Options().identification;
  const UploadOutcome outcome =
      amp.Upload(amp.folder.Write("s.PK3", PackageOf(1, {.scrambleFor = id})));
  if (Serial()) {
    EXPECT_EQ(outcome.result, UploadResult::kSucceeded) << outcome.message;
  } else {
    EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
    EXPECT_EQ(outcome.message.rfind("Authentication failed", 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, UploadAgainstAmplifier,
                         testing::Values(&SerialProfile(), &UsbProfile()),
                         [](const auto& p) { return std::string(p.param->programName); });

}  // namespace
}  // namespace amppanel
