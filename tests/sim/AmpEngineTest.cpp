// The virtual amplifier on the wire: framing, display replies, keys, the
// loader conversation and the faults it can be told to show.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include "display/Renderer.h"
#include "protocol/PollStep.h"
#include "sim/AmpEngine.h"
#include "sim/SimLink.h"

namespace amppanel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An engine whose time moves only when the test says so.
struct Bench {
  explicit Bench(AmpEngineOptions options = {}) {
    options.time = [this] { return now; };
    engine = std::make_unique<AmpEngine>(std::move(options));
  }
  void Advance(milliseconds d) { now += d; }
  Bytes Send(const Bytes& frame) {
    engine->Feed(frame);
    return engine->TakeAll();
  }
  Bytes Key(std::uint8_t code) { return Send(KeyFrame(SerialProfile(), code)); }
  Bytes Query() { return Send(QueryFrame(SerialProfile())); }
  std::uint8_t Lamps() { return static_cast<std::uint8_t>(~engine->StatusByte()); }

  SimTime now{std::chrono::hours(1)};
  std::unique_ptr<AmpEngine> engine;
};

std::uint8_t StatusOf(const Bytes& reply) { return reply.at(8); }

TEST(AmpEngine, AnswersTheQueryWithACheckedDisplayReply) {
  Bench bench;
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    const Bytes reply = bench.Send(QueryFrame(*profile));
    ASSERT_EQ(reply.size(), kDisplayReplyWireSize);
    const Screen screen = bench.engine->CurrentScreen();
    const auto data = screen.Bytes();
    EXPECT_EQ(reply, DisplayReply(kDisplayReplyType, bench.engine->StatusByte(), data));
    EXPECT_EQ(screen.RowText(0).substr(35, 4), "STBY");
  }
  EXPECT_EQ(bench.engine->FramesReceived(), 2);
}

TEST(AmpEngine, SkipsGarbageAndShortSyncRunsAndIgnoresBadChecks) {
  Bench bench;
  Bytes noisy{0x00, 0x55, 0x13, 0x55, 0x55, 0x01, 0xAA};  // two sync bytes are not a frame
  const Bytes query = QueryFrame(SerialProfile());
  noisy.insert(noisy.end(), query.begin(), query.end());
  EXPECT_EQ(bench.Send(noisy).size(), kDisplayReplyWireSize);
  EXPECT_GT(bench.engine->GarbageBytes(), 0u);

  Bytes bad = KeyFrame(SerialProfile(), key::kOperate);
  bad.back() ^= 0x01;
  EXPECT_TRUE(bench.Send(bad).empty());
  EXPECT_EQ(bench.engine->BadFrames(), 1);
  EXPECT_FALSE(bench.engine->State().operate);

  // A frame cut in two by the line arrives whole.
  bench.engine->Feed(Bytes(query.begin(), query.begin() + 3));
  EXPECT_TRUE(bench.engine->TakeAll().empty());
  EXPECT_EQ(bench.Send(Bytes(query.begin() + 3, query.end())).size(), kDisplayReplyWireSize);

  // Half a frame left by a panel that went away is dropped once the line is quiet.
  bench.engine->Feed(Bytes{0x55, 0x55, 0x55, 0x01});
  bench.Advance(milliseconds(600));
  EXPECT_EQ(bench.Query().size(), kDisplayReplyWireSize);
}

TEST(AmpEngine, FiveSyncByteKeyFramesAreUnderstood) {
  Bench bench;
  bench.Send(KeyFrame(UsbProfile(), key::kOperate));
  EXPECT_TRUE(bench.engine->State().operate);
  EXPECT_EQ(bench.Lamps(), lamp::kOn | lamp::kOperate);
}

TEST(AmpEngine, StatusByteOffersTheUpdateOnlyInStandbyWithNothingElseLit) {
  Bench bench;
  const auto offers = [&] { return StatusOffersUpdate(StatusOf(bench.Query())); };
  EXPECT_TRUE(offers());
  bench.Key(key::kCat);  // CAT lights no lamp of the panel and does not stand in the way
  EXPECT_TRUE(offers());
  bench.Key(key::kCat);

  bench.Key(key::kOperate);
  EXPECT_FALSE(offers());
  bench.engine->SetTransmitScript(true);
  bench.Advance(milliseconds(500));
  EXPECT_EQ(bench.Lamps() & 0x18, 0x18) << "TX lights with OP";
  EXPECT_EQ(bench.engine->CurrentScreen().RowText(0).substr(35, 4), " TX ");
  bench.Key(key::kOperate);
  EXPECT_EQ(bench.Lamps() & 0x18, 0);

  bench.Key(key::kSet);
  EXPECT_EQ(bench.Lamps(), lamp::kOn | lamp::kSet);
  EXPECT_FALSE(offers());
  bench.Key(key::kSet);
  bench.Key(key::kTune);
  EXPECT_EQ(bench.Lamps() & lamp::kTune, lamp::kTune);
  EXPECT_FALSE(offers());
  bench.Advance(milliseconds(3000));
  EXPECT_TRUE(offers());

  bench.engine->RaiseAlarm("HIGH SWR");
  EXPECT_EQ(bench.Lamps() & lamp::kAlarm, lamp::kAlarm);
  EXPECT_FALSE(offers());
  bench.Key(key::kDisplay);  // any key acknowledges the alarm
  EXPECT_TRUE(offers());
}

TEST(AmpEngine, KeysChangeWhatTheDisplayShows) {
  Bench bench;
  const auto row = [&](int r) { return bench.engine->CurrentScreen().RowText(r); };
  const std::string header = row(0);
  bench.Key(key::kBandUp);
  EXPECT_NE(row(0), header);
  bench.Key(key::kBandDown);
  EXPECT_EQ(row(0), header);

  const int antenna = bench.engine->State().antenna;
  bench.Key(key::kAntenna);
  EXPECT_NE(bench.engine->State().antenna, antenna);

  const PowerLevel level = bench.engine->State().level;
  bench.Key(key::kPower);
  EXPECT_NE(bench.engine->State().level, level);

  const Page page = bench.engine->State().page;
  bench.Key(key::kDisplay);
  EXPECT_NE(bench.engine->State().page, page);

  // The set menu marks its selected item inverted and the arrows move it.
  bench.Key(key::kSet);
  const auto invertedRow = [&] {
    const Screen s = bench.engine->CurrentScreen();
    for (int r = 1; r < Screen::kRows; ++r) {  // row 0 is the inverted title
      if (s.Inverted(2, r)) return r;
    }
    return -1;
  };
  const int first = invertedRow();
  ASSERT_GE(first, 0);
  bench.Key(key::kRight);
  EXPECT_EQ(bench.engine->State().menuItem, 1);
  EXPECT_NE(invertedRow(), first);
  bench.Key(key::kLeft);
  EXPECT_EQ(invertedRow(), first);

  // Combination codes do their own thing, not the plain key's.
  bench.Key(key::kSet);
  const int maxPower = bench.engine->State().maxPowerW;
  bench.Key(key::kLDownPower);
  EXPECT_EQ(bench.engine->State().maxPowerW, maxPower - 50);
  bench.Key(key::kInputDisplay);
  EXPECT_TRUE(bench.engine->State().inputLocked);
  const int input = bench.engine->State().input;
  bench.Key(key::kInput);
  EXPECT_EQ(bench.engine->State().input, input);
}

TEST(AmpEngine, OffDarkensItAndOnlyTheOnLinePowersItUpAgain) {
  Bench bench;
  bench.Key(key::kOff);
  Bytes reply = bench.Query();
  EXPECT_EQ(StatusOf(reply), 0xFF) << "every lamp dark";
  EXPECT_EQ(reply, DisplayReply(kDisplayReplyType, 0xFF, Bytes(kDisplayDataSize, 0)));
  bench.Key(key::kOperate);
  EXPECT_FALSE(bench.engine->State().operate);

  bench.engine->SetOnLine(true);
  EXPECT_EQ(bench.engine->State().power, PowerState::kOff) << "it starts when the line drops";
  bench.engine->SetOnLine(false);
  EXPECT_EQ(bench.engine->State().power, PowerState::kBooting);
  bench.Advance(milliseconds(2000));
  EXPECT_EQ(bench.engine->State().power, PowerState::kOn);
  EXPECT_TRUE(StatusOffersUpdate(StatusOf(bench.Query())));
}

// The loader conversation as the panel's upload drives it.
struct Loader : Bench {
  static Bytes Block(std::uint8_t seed) {
    Bytes data(kBlockSize);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * seed + 3);
    return data;
  }
  static std::uint32_t Sum(const Bytes& data) {
    return std::accumulate(data.begin(), data.end(), std::uint32_t{0});
  }
  Bytes Announce(std::uint8_t tag) { return Send(CommandFrame(3, Bytes{kAnnounceCode, tag})); }
  Bytes Data(const Bytes& data) { return Send(CommandFrame(3, data)); }
  Bytes End() { return Send(CommandFrame(3, Bytes{kEndCode})); }
  const Bytes ack{kAckFrame.begin(), kAckFrame.end()};
};

TEST(AmpEngine, LoaderTakesAPackageAndKeepsItsBlocks) {
  Loader l;
  const Bytes id = l.Send(CommandFrame(3, Bytes{kIdentifyCode}));
  EXPECT_EQ(id, (Bytes{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x02, 0x5A, 0x5C}));
  l.Key(key::kArmLoader);
  EXPECT_EQ(l.Key(key::kStartLoader), l.ack);
  EXPECT_EQ(l.Lamps(), lamp::kOn | lamp::kSet);

  const Bytes b1 = Loader::Block(7), b2 = Loader::Block(13);
  EXPECT_EQ(l.Announce(0x10), l.ack);
  EXPECT_EQ(l.Data(b1), SumAnswer(Loader::Sum(b1)));
  EXPECT_EQ(l.Announce(0x11), l.ack);
  EXPECT_EQ(l.Data(b2), SumAnswer(Loader::Sum(b2)));
  EXPECT_EQ(l.End(), SumAnswer(Loader::Sum(b1) + Loader::Sum(b2)));

  const auto blocks = l.engine->Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].tag, 0x10);
  EXPECT_EQ(blocks[0].data, b1);
  EXPECT_EQ(blocks[1].data, b2);

  EXPECT_TRUE(l.Key(key::kFinishLoader).empty());
  EXPECT_EQ(l.engine->Loader(), LoaderPhase::kIdle);
  EXPECT_EQ(l.engine->State().power, PowerState::kBooting) << "it restarts on the new firmware";
  l.Advance(milliseconds(2000));
  EXPECT_EQ(l.engine->State().power, PowerState::kOn);
}

TEST(AmpEngine, LoaderRefusesOutsideStandbyAndCanBeToldToFail) {
  Loader l;
  l.Key(key::kOperate);
  EXPECT_EQ(l.Key(key::kStartLoader), Bytes(kNakFrame.begin(), kNakFrame.end()));
  l.Key(key::kOperate);

  l.engine->SetLoaderFault(LoaderStep::kStart, StepFault::kSilent, 2);
  EXPECT_TRUE(l.Key(key::kStartLoader).empty());
  EXPECT_TRUE(l.Key(key::kStartLoader).empty());
  EXPECT_EQ(l.Key(key::kStartLoader), l.ack) << "the fault wears off after two times";

  const Bytes b = Loader::Block(5);
  l.Announce(1);
  l.engine->SetLoaderFault(LoaderStep::kData, StepFault::kFail, 1);
  EXPECT_NE(l.Data(b), SumAnswer(Loader::Sum(b)));
  EXPECT_EQ(l.Data(b), SumAnswer(Loader::Sum(b))) << "a repeated data frame replaces the block";
  EXPECT_EQ(l.engine->Blocks().size(), 1u);

  l.engine->SetLoaderFault(LoaderStep::kEnd, StepFault::kFail);
  EXPECT_NE(l.End(), SumAnswer(Loader::Sum(b)));

  l.Key(key::kCancel);
  EXPECT_EQ(l.engine->Loader(), LoaderPhase::kIdle);
  FaultSettings never;
  never.neverAcknowledge = true;
  l.engine->SetFaults(never);
  EXPECT_TRUE(l.Key(key::kStartLoader).empty());
}

TEST(AmpEngine, CutLinkAndSilenceStopTheAnswers) {
  Bench bench;
  bench.engine->StopAnsweringAfter(1, milliseconds(1000));
  EXPECT_FALSE(bench.Query().empty());
  EXPECT_TRUE(bench.Query().empty());
  bench.Advance(milliseconds(1001));
  EXPECT_FALSE(bench.Query().empty());

  FaultSettings cut;
  cut.cutAfterFrames = 4;
  bench.engine->SetFaults(cut);
  EXPECT_FALSE(bench.Query().empty()) << "the fourth frame is still answered";
  EXPECT_TRUE(bench.engine->LinkCut());
  EXPECT_TRUE(bench.Query().empty());
}

TEST(AmpEngine, PacingAndSplittingSpreadTheReplyOverTime) {
  Bench bench;
  FaultSettings faults;
  faults.paceBaud = 115200;  // 371 bytes x 10 bits: 32.2 ms on the wire
  faults.splitSize = 100;
  faults.splitGap = milliseconds(20);
  bench.engine->SetFaults(faults);
  EXPECT_TRUE(bench.Query().empty());
  bench.Advance(milliseconds(5));
  const std::size_t early = bench.engine->TakeAll().size();
  EXPECT_GT(early, 0u);
  EXPECT_LT(early, 100u);
  bench.Advance(milliseconds(100));
  EXPECT_EQ(early + bench.engine->TakeAll().size(), kDisplayReplyWireSize);
}

TEST(AmpEngine, PacingCountsTheInputsTimeOnTheWireToo) {
  Bench bench;
  FaultSettings faults;
  faults.paceBaud = 115200;  // 86.8 us a byte: the query arrives after 521 us
  bench.engine->SetFaults(faults);
  EXPECT_TRUE(bench.Query().empty());
  bench.now += std::chrono::microseconds(590);
  EXPECT_TRUE(bench.engine->TakeAll().empty()) << "the answer waits for the query's last byte";
  bench.now += std::chrono::microseconds(40);
  EXPECT_EQ(bench.engine->TakeAll().size(), 1u);
}

TEST(AmpEngine, AFloodFillsTheLineAroundTheAnswersUntilItIsLifted) {
  Bench bench;
  FaultSettings flood;
  flood.floodByte = 0xAA;  // the reply's own sync byte: the worst noise for a reader
  flood.paceBaud = 115200;
  bench.engine->SetFaults(flood);
  EXPECT_TRUE(bench.engine->TakeAll().empty()) << "noise takes its time on the wire too";
  bench.Advance(milliseconds(100));
  const Bytes noise = bench.engine->TakeAll();
  // Read only now and then, the line carries what was queued ahead of the reader.
  EXPECT_NEAR(static_cast<double>(noise.size()), 576, 2);  // 50 ms at 11520 bytes a second
  EXPECT_TRUE(std::all_of(noise.begin(), noise.end(), [](auto b) { return b == 0xAA; }));

  const Bytes reply = DisplayReply(kDisplayReplyType, bench.engine->StatusByte(),
                                   bench.engine->CurrentScreen().Bytes());
  bench.engine->Feed(QueryFrame(SerialProfile()));
  Bytes line;
  for (int i = 0; i < 10; ++i) {
    bench.Advance(milliseconds(10));
    const Bytes more = bench.engine->TakeAll();
    line.insert(line.end(), more.begin(), more.end());
  }
  const auto at = std::search(line.begin(), line.end(), reply.begin(), reply.end());
  ASSERT_NE(at, line.end()) << "the reply arrives whole inside the noise";
  EXPECT_GT(at - line.begin(), 100) << "behind the noise already on its way";
  EXPECT_GT(line.end() - (at + static_cast<std::ptrdiff_t>(reply.size())), 100);

  bench.engine->SetFaults({});
  bench.Advance(milliseconds(60));
  bench.engine->TakeAll();  // what was on its way still arrives
  bench.Advance(milliseconds(60));
  EXPECT_TRUE(bench.engine->TakeAll().empty());
  EXPECT_EQ(bench.Query().size(), kDisplayReplyWireSize);
}

TEST(AmpEngine, ByteFaultsDamageOutputReproducibly) {
  const auto run = [](FaultSettings faults) {
    Bench bench;
    bench.engine->SetFaults(faults);
    return bench.Query();
  };
  FaultSettings drop;
  drop.dropRate = 0.1;
  const Bytes dropped = run(drop);
  EXPECT_LT(dropped.size(), kDisplayReplyWireSize);
  EXPECT_GT(dropped.size(), kDisplayReplyWireSize / 2);
  EXPECT_EQ(run(drop), dropped) << "the same seed gives the same damage";

  FaultSettings corrupt;
  corrupt.corruptRate = 1;
  const Bytes bad = run(corrupt);
  ASSERT_EQ(bad.size(), kDisplayReplyWireSize);
  const Bytes good = run({});
  for (std::size_t i = 0; i < good.size(); ++i) EXPECT_NE(bad[i], good[i]) << i;
}

// The poll step of the panel reading the engine through the in-process link,
// with the link's time-outs scaled down a hundredfold.
struct Polled {
  Polled() : engine(AmpEngineOptions{.timeDivisor = 100}), link(engine) {
    link.Open({.comPort = 1});
  }
  void Poll() { PollOnce(link, SerialProfile(), state, errorText); }
  AmpEngine engine;
  SimLink link;
  PollState state;
  std::string errorText;
};

TEST(AmpEngine, PollStepAcceptsItsRepliesThroughTheInProcessLink) {
  Polled p;
  FaultSettings split;
  split.splitSize = 64;
  split.splitGap = milliseconds(5);
  split.paceBaud = 115200;
  p.engine.SetFaults(split);
  p.Poll();
  ASSERT_TRUE(p.state.FrameReady);
  EXPECT_FALSE(p.state.SyncLost);
  EXPECT_EQ(p.state.StatusByte, p.engine.StatusByte());
  const auto data = p.engine.CurrentScreen().Bytes();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), p.state.ReplyBuffer.begin()));

  // Damaged replies are dropped; silence blanks the display.
  for (ReplyFault fault :
       {ReplyFault::kBadComplement, ReplyFault::kWrongType, ReplyFault::kBadCheck}) {
    FaultSettings f;
    f.replyFault = fault;
    p.engine.SetFaults(f);
    p.state.FrameReady = false;
    p.Poll();
    EXPECT_FALSE(p.state.FrameReady) << static_cast<int>(fault);
    EXPECT_FALSE(p.state.SyncLost);
  }
  p.engine.SetFaults({});
  p.engine.StopAnswering(milliseconds(10'000));
  p.Poll();
  EXPECT_TRUE(p.state.SyncLost);
}

TEST(AmpEngine, InProcessLinkReportsACutLineAfterItsLastBytes) {
  Polled p;
  FaultSettings cut;
  cut.cutAfterFrames = 1;
  p.engine.SetFaults(cut);
  p.Poll();
  EXPECT_TRUE(p.state.FrameReady) << "the reply to the last frame still arrives";
  std::uint8_t byte = 0;
  EXPECT_NE(p.link.Read(std::span(&byte, 1)).status, 0);
  EXPECT_NE(p.link.Write(QueryFrame(SerialProfile())).status, 0);
}

}  // namespace
}  // namespace amppanel
