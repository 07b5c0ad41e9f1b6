// The upload conversation against a scripted loader: the frames on the wire,
// the answers accepted, retries, waits, link statuses and the final steps, for
// both programs.
#include <gtest/gtest.h>

#include "tests/update/UpdateTestSupport.h"

namespace amppanel {
namespace {

using test::Bytes;
using test::PackageOf;
using test::RecordingLink;
using test::ScriptedLoader;
using test::TempFolder;
using test::UploadRun;

// A scripted link with a loader behind it.
struct Loaded {
  Loaded() {
    link.responder = [this](const Bytes& w) { return loader.Answer(w); };
  }
  RecordingLink link;
  ScriptedLoader loader;
  TempFolder folder;
};

Bytes Key(const BuildProfile& p, std::uint8_t code) { return KeyFrame(p, code); }

std::vector<Bytes> ExpectedBlockWrites(const Bytes& package, int blocks) {
  std::vector<Bytes> writes;
  for (int i = 0; i < blocks; ++i) {
    const std::size_t at = kPackageHeaderSize + static_cast<std::size_t>(i) * kBlockRecordSize;
    const Bytes data(package.begin() + static_cast<std::ptrdiff_t>(at + 1),
                     package.begin() + static_cast<std::ptrdiff_t>(at + 1 + kBlockDataSize));
    writes.push_back(AnnouncementHead());
    writes.push_back({package[at]});
    writes.push_back({AnnouncementCheck(package[at])});
    writes.push_back(DataFrameHead());
    writes.push_back(data);
    writes.push_back({static_cast<std::uint8_t>(BlockSum(data))});
  }
  return writes;
}

TEST(UploadConversation, SerialProgramIdentifiesWaitsThenSendsEveryBlockAndFinishes) {
  Loaded t;
  const Bytes package = PackageOf(2, {.tag = 0x21});
  const std::string path = t.folder.Write("fw.PK3", package);
  UploadRun run(t.link, SerialProfile());
  const UploadOutcome outcome = run.Go(path);

  EXPECT_EQ(outcome.result, UploadResult::kSucceeded);
  EXPECT_EQ(outcome.blocks, 2);
  std::vector<Bytes> expected{IdentificationRequest(), Key(SerialProfile(), kStartLoaderCode)};
  for (auto& w : ExpectedBlockWrites(package, 2)) expected.push_back(w);
  expected.push_back(EndFrame());
  expected.push_back(Bytes{0x55, 0x55, 0x55, 0x01, 0x67, 0x67});
  EXPECT_EQ(t.link.Writes(), expected);
  EXPECT_EQ(run.clock.Sleeps(), std::vector<milliseconds>{kIdentificationWait})
      << "the 3000 ms identification wait, through the clock";
  EXPECT_EQ(t.link.Events(), std::vector<std::string>{"purge"}) << "one purge after the wait";
  EXPECT_EQ(t.link.drains, 0);
  EXPECT_TRUE(t.link.timeouts.empty()) << "the serial program has no time-outs to restore";
  EXPECT_EQ(run.statuses, (std::vector<std::string>{
                              std::string(kValidatingText), std::string(kStartingText),
                              ProgressText(50), ProgressText(100), std::string(kSucceededText)}));
  EXPECT_EQ(run.events, (std::vector<std::string>{"disable", "status", "status", "status", "status",
                                                  "status", "pulse", "finish"}));
  ASSERT_TRUE(run.finished.has_value());
  EXPECT_EQ(run.finished->result, UploadResult::kSucceeded);
}

TEST(UploadConversation, UsbProgramDrainsInsteadOfIdentifyingAndRestoresItsTimeouts) {
  Loaded t;
  const Bytes package = PackageOf(1);
  const std::string path = t.folder.Write("fw.pk3", package);
  UploadRun run(t.link, UsbProfile());
  EXPECT_EQ(run.Go(path).result, UploadResult::kSucceeded);

  std::vector<Bytes> expected{Key(UsbProfile(), kStartLoaderCode)};
  for (auto& w : ExpectedBlockWrites(package, 1)) expected.push_back(w);
  expected.push_back(EndFrame());
  expected.push_back(Bytes{0x55, 0x55, 0x55, 0x55, 0x55, 0x01, 0x67, 0x67});
  EXPECT_EQ(t.link.Writes(), expected);
  EXPECT_TRUE(run.clock.Sleeps().empty()) << "no identification wait";
  EXPECT_EQ(t.link.drains, 1);
  EXPECT_EQ(
      t.link.timeouts,
      (std::vector<std::pair<milliseconds, milliseconds>>{{kUsbNormalTimeout, kUsbNormalTimeout}}));
}

TEST(UploadConversation, PrepareSetsTheUsbUploadTimeoutsAndRaisesTheirFailure) {
  RecordingLink link;
  PrepareLinkForUpload(link, SerialProfile());
  EXPECT_TRUE(link.timeouts.empty());
  PrepareLinkForUpload(link, UsbProfile());
  EXPECT_EQ(
      link.timeouts,
      (std::vector<std::pair<milliseconds, milliseconds>>{{kUsbUploadTimeout, kUsbUploadTimeout}}));
  link.timeoutStatus = 4;
  try {
    PrepareLinkForUpload(link, UsbProfile());
    FAIL();
  } catch (const FT_Exception& e) {
    EXPECT_EQ(std::string(e.what()), "FATAL ERROR ON USB LINK...  #[1414]");
  }
}

TEST(UploadConversation, ProgressTextsForOneToFiveBlocks) {
  const std::map<int, std::vector<int>> expected{{1, {100}},
                                                 {2, {50, 100}},
                                                 {3, {33, 66, 99}},
                                                 {4, {25, 50, 75, 100}},
                                                 {5, {20, 40, 60, 80, 100}}};
  for (const auto& [blocks, percents] : expected) {
    SCOPED_TRACE(blocks);
    EXPECT_EQ(ProgressPercents(blocks), percents);
    Loaded t;
    UploadRun run(t.link, blocks % 2 ? SerialProfile() : UsbProfile());
    EXPECT_EQ(run.Go(t.folder.Write("fw.PK3", PackageOf(blocks))).result, UploadResult::kSucceeded);
    std::vector<std::string> texts;
    for (int p : percents) texts.push_back(ProgressText(p));
    EXPECT_EQ(run.Progress(), texts);
  }
  EXPECT_EQ(ProgressText(7), "    FIRMWARE UPDATE IN PROGRESS:  7%    ");
  EXPECT_EQ(ProgressText(99), "    FIRMWARE UPDATE IN PROGRESS: 99%    ");
  EXPECT_EQ(ProgressText(100).size(), 40u);
  for (auto text : {kValidatingText, kStartingText, kSucceededText}) EXPECT_EQ(text.size(), 40u);
  EXPECT_EQ(kFailedText.size(), 81u);
  EXPECT_EQ(kInterruptedText.find('\n'), 40u);
}

TEST(UploadConversation, ZeroBlocksSkipTheTransferAndCloseWithSumZero) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    Loaded t;
    UploadRun run(t.link, *profile);
    const UploadOutcome outcome = run.Go(t.folder.Write("empty.PK3", PackageOf(0)));
    EXPECT_EQ(outcome.result, UploadResult::kSucceeded) << outcome.message;
    EXPECT_EQ(outcome.blocks, 0);
    const auto writes = t.link.Writes();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[writes.size() - 3], Key(*profile, kStartLoaderCode));
    EXPECT_EQ(writes[writes.size() - 2], EndFrame());
    EXPECT_TRUE(run.Progress().empty());
    EXPECT_EQ(run.statuses.back(), kSucceededText);
  }
}

TEST(UploadConversation, AcceptsTheIdentificationOnlyWhenWholeAndChecked) {
  // A header scrambled for identification 0x5A passes only when the answer is accepted.
  const std::vector<std::pair<Bytes, bool>> answers{
      {{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x02, 0x5A, 0x5C}, true},
      {{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x02, 0x5A, 0x5D}, false},  // bad check
      {{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x03, 0x5A, 0x5D}, false},  // sixth byte
      {{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x02, 0x5A}, false},        // short
      {{}, false},                                                // none
  };
  for (const auto& [answer, accepted] : answers) {
    SCOPED_TRACE(testing::PrintToString(answer));
    EXPECT_EQ(AcceptIdentification(answer).has_value(), accepted);
    Loaded t;
    t.loader.identificationAnswer = answer;
    UploadRun run(t.link, SerialProfile());
    const auto outcome =
        run.Go(t.folder.Write("fw.PK3", PackageOf(1, {.scrambleFor = std::uint8_t{0x5A}})));
    EXPECT_EQ(outcome.result, accepted ? UploadResult::kSucceeded : UploadResult::kUpdateFailed);
    if (!accepted) {
      EXPECT_EQ(KeyFrame(SerialProfile(), kCancelCode), t.link.Writes().back());
      EXPECT_EQ(t.link.Writes().size(), 2u) << "identification request and 101, nothing else";
    }
  }
}

TEST(UploadConversation, SumAnswerIsJudgedOnBytesFiveToEightAlone) {
  const std::uint32_t sum = 0x0A0B0C0D;
  EXPECT_TRUE(AcceptSumAnswer(Bytes{0, 0, 0, 0, 0x0D, 0x0C, 0x0B, 0x0A, 0}, sum));
  EXPECT_FALSE(AcceptSumAnswer(Bytes{0x55, 0x55, 0x55, 4, 0x0D, 0x0C, 0x0B, 0x0B, 0x36}, sum));
  EXPECT_FALSE(AcceptSumAnswer(Bytes{0x55, 0x55, 0x55, 4, 0x0D, 0x0C, 0x0B, 0x0A}, sum));
  EXPECT_TRUE(AcceptAck(Bytes{0x55, 0x55, 0x55, 0x01, 0x06, 0x06}));
  EXPECT_FALSE(AcceptAck(Bytes{0x55, 0x55, 0x55, 0x01, 0x15, 0x15}));
  EXPECT_FALSE(AcceptAck(Bytes{0x55, 0x55, 0x55, 0x01, 0x06}));

  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    Loaded t;
    // Wrong first four bytes and a wrong last byte around the right sum.
    t.loader.sumAnswer = t.loader.endAnswer = [](std::uint32_t s) {
      return Bytes{0x12,
                   0x34,
                   0x56,
                   0x78,
                   static_cast<std::uint8_t>(s),
                   static_cast<std::uint8_t>(s >> 8),
                   static_cast<std::uint8_t>(s >> 16),
                   static_cast<std::uint8_t>(s >> 24),
                   0x99};
    };
    UploadRun run(t.link, *profile);
    EXPECT_EQ(run.Go(t.folder.Write("fw.PK3", PackageOf(2))).result, UploadResult::kSucceeded);
  }
}

TEST(UploadConversation, UsbReadsAnAnswerInPiecesUntilComplete) {
  Loaded t;
  t.link.SetReadChunk(2);
  UploadRun run(t.link, UsbProfile());
  EXPECT_EQ(run.Go(t.folder.Write("fw.pk3", PackageOf(2))).result, UploadResult::kSucceeded);
}

// A loader refusal at each step: the attempts, the purges or drains between
// them, the failure text and the 101 that ends it.
struct Refusal {
  const char* step;
  int attempts;
  Bytes attemptWrite;  // the write that starts each attempt
  int location;
};

TEST(UploadConversation, RefusalsCostTheirAttemptsThenFailWithKindThree) {
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    const bool usb = profile == &UsbProfile();
    const std::vector<Refusal> refusals{
        {"start", 10, Key(*profile, kStartLoaderCode), 1560},
        {"announcement", 3, AnnouncementHead(), 1604},
        {"data", 3, DataFrameHead(), 1634},
        {"end", 1, EndFrame(), 1660},
    };
    for (const Refusal& r : refusals) {
      SCOPED_TRACE(std::string(profile->programName) + " " + r.step);
      Loaded t;
      const Bytes nak{0x55, 0x55, 0x55, 0x01, 0x15, 0x15};
      if (std::string(r.step) == "start") t.loader.startAnswer = nak;
      if (std::string(r.step) == "announcement") t.loader.announceAnswer = nak;
      const auto wrongSum = [](std::uint32_t sum) { return ScriptedLoader::DefaultSum(sum + 1); };
      if (std::string(r.step) == "data") t.loader.sumAnswer = wrongSum;
      if (std::string(r.step) == "end") t.loader.endAnswer = wrongSum;
      const std::string path = t.folder.Write("fw.PK3", PackageOf(2));
      UploadRun run(t.link, *profile);
      const UploadOutcome outcome = run.Go(path);

      EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
      const std::string message =
          UpdateErrorMessage(*profile, UpdateErrorKind::kConsistency, path, r.location);
      EXPECT_EQ(outcome.message, message);
      EXPECT_EQ(run.errorBox, message);
      if (usb) {
        EXPECT_NE(message.find(" \r#[" + std::to_string(r.location) + "]"), std::string::npos);
      }
      const auto writes = t.link.Writes();
      EXPECT_EQ(std::count(writes.begin(), writes.end(), r.attemptWrite), r.attempts);
      EXPECT_EQ(writes.back(), Key(*profile, kCancelCode)) << "101 after the failure";
      EXPECT_EQ(run.statuses.back(), kFailedText);
      EXPECT_EQ(run.events.back(), "finish");
      EXPECT_EQ(run.events[run.events.size() - 2], "error box");
      EXPECT_EQ(std::count(run.events.begin(), run.events.end(), "pulse"), 0);
      // One purge (serial) or drain (USB) after every failed attempt but the end frame's.
      const int afterFailures = std::string(r.step) == "end" ? 0 : r.attempts;
      if (usb) {
        EXPECT_EQ(t.link.drains, 1 + afterFailures);
        const auto sleeps = run.clock.Sleeps();
        const auto pauses = std::count(sleeps.begin(), sleeps.end(), kUsbRetryPause);
        EXPECT_EQ(pauses, std::string(r.step) == "data" ? 3 : 0)
            << "500 ms after a failed data frame";
      } else {
        const auto events = t.link.Events();
        EXPECT_EQ(std::count(events.begin(), events.end(), "purge"), 1 + afterFailures);
        EXPECT_EQ(run.clock.Sleeps(), std::vector<milliseconds>{kIdentificationWait});
      }
    }
  }
}

TEST(UploadConversation, OneRefusalIsRetriedAndTheUploadGoesOn) {
  Loaded t;
  int refusals = 1;
  t.loader.sumAnswer = [&](std::uint32_t s) {
    return ScriptedLoader::DefaultSum(refusals-- > 0 ? s ^ 1 : s);
  };
  UploadRun run(t.link, UsbProfile());
  EXPECT_EQ(run.Go(t.folder.Write("fw.pk3", PackageOf(2))).result, UploadResult::kSucceeded);
  const auto writes = t.link.Writes();
  EXPECT_EQ(std::count(writes.begin(), writes.end(), DataFrameHead()), 3);
  EXPECT_EQ(run.clock.Sleeps(), std::vector<milliseconds>{kUsbRetryPause});
}

TEST(UploadConversation, UsbLinkStatusesEndTheRunWithTheirLocation) {
  // Writes of one block's upload: 1 key (102, untested), then 6 writes per block.
  struct StatusCase {
    const char* what;
    std::function<void(RecordingLink&)> fail;
    int location;
  };
  const std::vector<StatusCase> cases{
      {"announcement head", [](RecordingLink& l) { l.FailWrite(2, 4); }, 1592},
      {"announcement tag", [](RecordingLink& l) { l.FailWrite(3, 4); }, 1593},
      {"announcement check", [](RecordingLink& l) { l.FailWrite(4, 4); }, 1594},
      {"data head", [](RecordingLink& l) { l.FailWrite(5, 4); }, 1620},
      {"data bytes", [](RecordingLink& l) { l.FailWrite(6, 4); }, 1621},
      {"data check", [](RecordingLink& l) { l.FailWrite(7, 4); }, 1622},
      {"end frame", [](RecordingLink& l) { l.FailWrite(8, 4); }, 1659},
      {"finish frame", [](RecordingLink& l) { l.FailWrite(9, 4); }, 1682},
      {"acknowledgement read", [](RecordingLink& l) { l.FailRead(1, 4); }, 1758},
      {"sum answer read", [](RecordingLink& l) { l.FailRead(3, 4); }, 1794},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.what);
    Loaded t;
    c.fail(t.link);
    UploadRun run(t.link, UsbProfile());
    const UploadOutcome outcome = run.Go(t.folder.Write("fw.pk3", PackageOf(1)));
    EXPECT_EQ(outcome.result, UploadResult::kLinkFailed);
    const std::string text = "FATAL ERROR ON USB LINK...  #[" + std::to_string(c.location) + "]";
    EXPECT_EQ(outcome.message, text);
    EXPECT_EQ(run.linkFailure, text);
    EXPECT_EQ(run.statuses.back(), kInterruptedText);
    const auto writes = t.link.Writes();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), Key(UsbProfile(), kCancelCode)), 0)
        << "no 101 after a link failure";
    EXPECT_TRUE(run.errorBox.empty());
    EXPECT_EQ(run.events.back(), "finish");
    EXPECT_EQ(run.events[run.events.size() - 2], "link failure");
    EXPECT_EQ(t.link.timeouts.size(), 1u) << "the time-outs are restored on every path";
  }
}

TEST(UploadConversation, SerialLinkStatusesAreNotExamined) {
  Loaded t;
  t.link.FailWrite(3, 4);  // the announcement's tag is lost: the loader never answers
  t.link.FailPurge(1, 4);
  UploadRun run(t.link, SerialProfile());
  t.loader.announceAnswer = {};
  const UploadOutcome outcome = run.Go(t.folder.Write("fw.PK3", PackageOf(1)));
  EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed) << "a broken serial link ends in kind 3";
  EXPECT_TRUE(run.linkFailure.empty());
}

TEST(UploadConversation, AMissingFileIsKindZeroAfterTheIdentification) {
  Loaded t;
  const std::string path = t.folder.Path("missing.PK3");
  UploadRun run(t.link, SerialProfile());
  const UploadOutcome outcome = run.Go(path);
  EXPECT_EQ(outcome.result, UploadResult::kUpdateFailed);
  EXPECT_EQ(outcome.message, "I/O error while opening file:\n  " + path);
  EXPECT_EQ(t.link.Writes(),
            (std::vector<Bytes>{IdentificationRequest(), Key(SerialProfile(), kCancelCode)}));
}

TEST(UploadConversation, AnUnexpectedExceptionRunsTheFinalStepsAndLeavesTheWorker) {
  Loaded t;
  UploadRun run(t.link, UsbProfile());
  run.onDisable = [] { throw std::logic_error("not an update failure"); };
  run.Go(t.folder.Write("fw.pk3", PackageOf(1)));
  EXPECT_EQ(run.unexpected, "not an update failure");
  EXPECT_EQ(run.events, std::vector<std::string>{"finish"});
  EXPECT_TRUE(t.link.Writes().empty()) << "neither 101 nor anything else";
  EXPECT_EQ(t.link.timeouts.size(), 1u);
}

}  // namespace
}  // namespace amppanel
