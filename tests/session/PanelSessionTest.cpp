// The session state machine on a hand-pumped UI thread, an in-memory amplifier
// and clocks that do not sleep (or sleep only until the test lets them go).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <stdexcept>

#include "keys/Keys.h"
#include "protocol/Frames.h"
#include "session/PanelSession.h"
#include "tests/session/SessionHarness.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScriptedLink.h"

namespace amppanel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::RecordingObserver;
using test::ScriptedLink;

// Waits of one length are held until the test opens the gate (or a stop
// request cuts them short); every other wait returns at once.
class GatedClock final : public Clock {
 public:
  explicit GatedClock(milliseconds gated) : gated_(gated) {}
  bool SleepFor(milliseconds d, const StopSignal* stop) override {
    {
      std::lock_guard lock(mutex_);
      sleeps_.push_back(d);
    }
    if (d != gated_) return true;
    std::unique_lock lock(mutex_);
    ++waiting_;
    while (!open_ && !(stop != nullptr && stop->Raised())) cv_.wait_for(lock, 1ms);
    --waiting_;
    return open_;
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  bool SomeoneWaiting() const {
    std::lock_guard lock(mutex_);
    return waiting_ > 0;
  }
  std::vector<milliseconds> Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  const milliseconds gated_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
  int waiting_ = 0;
  std::vector<milliseconds> sleeps_;
};

Bytes DisplayWithA(std::uint8_t status) {
  Bytes data(kDisplayDataSize, 0);
  data[0] = 33;
  return DisplayReply(kDisplayReplyType, status, data);
}

bool IsQuery(const Bytes& written) {
  return written.size() >= 2 && written[written.size() - 2] == kQueryCode;
}

struct Rig {
  explicit Rig(const BuildProfile& profile = SerialProfile(), Clock* clockToUse = nullptr) {
    auto owned = std::make_unique<ScriptedLink>();
    link = owned.get();
    link->responder = [this](const Bytes& written) {
      if (IsQuery(written) && answering.load()) {
        if (throwOnQuery.load()) throw std::runtime_error("reply buffer exploded");
        return DisplayWithA(0xF8);
      }
      return Bytes{};
    };
    session = std::make_unique<PanelSession>(profile, std::move(owned), ui,
                                             clockToUse ? *clockToUse : clock, observer);
    session->Settings().comPort = 3;
  }
  ~Rig() { session.reset(); }

  template <class Pred>
  bool PumpUntil(Pred pred) {
    return test::PumpUntil(ui, pred);
  }
  bool ConnectAndMirror() {
    session->Connect();
    return PumpUntil([this] { return session->Polling() && observer.lamps == 0x07; });
  }
  int Queries() const {
    const auto writes = link->Writes();
    return static_cast<int>(std::count_if(writes.begin(), writes.end(), IsQuery));
  }

  QueueUiThread ui;
  test::ManualClock clock;
  RecordingObserver observer;
  ScriptedLink* link = nullptr;
  std::unique_ptr<PanelSession> session;
  std::atomic<bool> answering{true};
  std::atomic<bool> throwOnQuery{false};
};

TEST(PanelSession, ConnectSendsTheConnectKeyBeforeTheFirstQueryThenMirrors) {
  Rig rig;
  ASSERT_TRUE(rig.ConnectAndMirror());
  EXPECT_EQ(rig.observer.events, (std::vector<std::string>{"attempt", "attempts over", "on-line"}));
  EXPECT_TRUE(rig.session->OnLine());
  EXPECT_EQ(rig.link->Writes().front(), KeyFrame(SerialProfile(), kConnectKeyCode));
  EXPECT_TRUE(rig.observer.updateOffered);
  EXPECT_EQ(rig.session->Image()->Pixel(4, 2), kDotColour);

  rig.session->Disconnect();
  EXPECT_FALSE(rig.session->OnLine());
  EXPECT_FALSE(rig.session->Polling());
  EXPECT_FALSE(rig.link->IsOpen());
  EXPECT_EQ(rig.observer.lamps, 0);
  EXPECT_FALSE(rig.observer.updateOffered);
  EXPECT_EQ(rig.observer.events.back(), "off-line");
  EXPECT_EQ(rig.session->Image()->Pixel(4, 2), kOffLineBackground);
}

TEST(PanelSession, FailedAndAbortedConnectionsLeaveItOffLineWithOneBox) {
  {
    Rig rig;
    rig.link->ScriptOpens(std::vector<int>(100, 1));
    rig.session->Connect();
    ASSERT_TRUE(rig.PumpUntil([&] {
      return !rig.observer.events.empty() && rig.observer.events.back().starts_with("connect");
    }));
    EXPECT_EQ(rig.observer.Count("attempt"), 100);
    EXPECT_EQ(rig.observer.events.back(), "connect failure: CAN'T OPEN SERIAL LINK...  #[1071]");
    EXPECT_FALSE(rig.session->OnLine());
    EXPECT_FALSE(rig.session->Connecting());
  }
  {
    Rig rig;
    rig.link->ScriptOpens(std::vector<int>(100, 1));
    rig.observer.wanted = false;  // the operator closed the progress window
    rig.session->Connect();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.Count("attempts over") == 1; }));
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.events.back().starts_with("connect"); }));
    EXPECT_EQ(rig.observer.events.back(), "connect failure: PROCESS ABORTED...  #[1071]");
    EXPECT_EQ(rig.link->OpenCalls(), 1);
    // A new attempt is possible once it is over.
    rig.observer.wanted = true;
    rig.link->ScriptOpens({});
    EXPECT_TRUE(rig.ConnectAndMirror());
  }
}

TEST(PanelSession, UsbConnectWaitsRunOnTheWorkerAndADisconnectCutsThemShort) {
  {
    Rig rig(UsbProfile());
    ASSERT_TRUE(rig.ConnectAndMirror());
    const auto sleeps = rig.clock.Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1100ms), 2);
    EXPECT_EQ(rig.link->Writes().front(), KeyFrame(UsbProfile(), kConnectKeyCode));
    EXPECT_EQ(rig.link->Writes().front().size(), 5u + 3u);
  }
  {
    GatedClock gate(1100ms);
    Rig rig(UsbProfile(), &gate);
    rig.session->Connect();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->OnLine() && gate.SomeoneWaiting(); }));
    rig.session->Disconnect();  // the UI thread was free during the wait
    ASSERT_TRUE(
        rig.PumpUntil([&] { return !rig.session->Connecting() && !gate.SomeoneWaiting(); }));
    for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);
    EXPECT_FALSE(rig.session->Polling());
    EXPECT_FALSE(rig.session->OnLine());
    EXPECT_TRUE(rig.link->Writes().empty()) << "no key and no query after the disconnect";
  }
}

TEST(PanelSession, SyncLossBlanksAndAnAnswerRestoresWithoutReopening) {
  Rig rig;
  ASSERT_TRUE(rig.ConnectAndMirror());
  rig.answering = false;
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.lamps == 0; }));
  EXPECT_EQ(rig.session->Image()->Pixel(4, 2), SerialProfile().onLineBackground);
  EXPECT_FALSE(rig.observer.updateOffered);
  EXPECT_TRUE(rig.session->OnLine());
  rig.answering = true;
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.lamps == 0x07; }));
  EXPECT_EQ(rig.session->Image()->Pixel(4, 2), kDotColour);
  EXPECT_EQ(rig.link->OpenCalls(), 1);
}

TEST(PanelSession, APulledLineIsReopenedQuietlyAndDisconnectEndsTheRetries) {
  {
    Rig rig;
    ASSERT_TRUE(rig.ConnectAndMirror());
    rig.link->FailEveryRead(kLinkIoError);  // the adapter was pulled
    rig.link->ScriptOpens(std::vector<int>(5, kLinkCantOpen));
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.Count("line lost") == 1; }));
    EXPECT_TRUE(rig.session->OnLine());
    EXPECT_TRUE(rig.session->LineLost());
    EXPECT_EQ(rig.observer.lamps, 0);
    EXPECT_EQ(rig.session->Image()->Pixel(4, 2), SerialProfile().onLineBackground);
    // The port is back after five failed attempts, one per cycle.
    rig.link->onConfigure = [&] { rig.link->FailEveryRead(0); };
    const std::size_t writes = rig.link->Writes().size();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.Count("line back") == 1; }));
    EXPECT_EQ(rig.link->OpenCalls(), 1 + 5 + 1);
    const auto after = rig.link->Writes();
    EXPECT_NE(std::find(after.begin() + static_cast<long>(writes), after.end(),
                        KeyFrame(SerialProfile(), kConnectKeyCode)),
              after.end())
        << "the connect key again, as on a fresh connection";
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->Image()->Pixel(4, 2) == kDotColour; }));
    EXPECT_TRUE(std::none_of(rig.observer.events.begin(), rig.observer.events.end(),
                             [](const std::string& e) { return e.find("failure") != e.npos; }))
        << "no box while it retries";
  }
  {
    Rig rig;
    ASSERT_TRUE(rig.ConnectAndMirror());
    rig.link->FailEveryRead(kLinkIoError);
    rig.link->ScriptOpens(std::vector<int>(1000, kLinkCantOpen));
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->LineLost(); }));
    rig.session->Disconnect();
    const int opens = rig.link->OpenCalls();
    for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);
    EXPECT_EQ(rig.link->OpenCalls(), opens);
    EXPECT_FALSE(rig.session->LineLost());
    EXPECT_FALSE(rig.session->OnLine());
  }
}

TEST(PanelSession, LinkFailureResetsTheDeviceDisconnectsAndShowsOneBox) {
  Rig rig(UsbProfile());
  ASSERT_TRUE(rig.ConnectAndMirror());
  rig.link->FailEveryRead(4);  // FT_IO_ERROR: the cable was pulled
  ASSERT_TRUE(rig.PumpUntil([&] { return !rig.session->OnLine(); }));
  for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);
  EXPECT_EQ(rig.observer.events.back().rfind("link failure: ", 0), 0u);
  EXPECT_EQ(std::count_if(rig.observer.events.begin(), rig.observer.events.end(),
                          [](const std::string& e) { return e.starts_with("link failure"); }),
            1);
  EXPECT_FALSE(rig.session->Polling());
  EXPECT_FALSE(rig.link->IsOpen());
  const auto events = rig.link->Events();
  const auto reset = std::find(events.begin(), events.end(), "after-failure");
  ASSERT_NE(reset, events.end());
  EXPECT_NE(std::find(reset, events.end(), "close"), events.end()) << "reset before the close";
}

TEST(PanelSession, AWorkerThatDiesUnexpectedlyIsReportedAndTheSessionGoesOffLine) {
  Rig rig;
  ASSERT_TRUE(rig.ConnectAndMirror());
  rig.throwOnQuery = true;
  ASSERT_TRUE(rig.PumpUntil([&] { return !rig.session->OnLine(); }));
  EXPECT_EQ(rig.observer.events.back(), "link failure: reply buffer exploded");
  EXPECT_FALSE(rig.session->Polling());
  EXPECT_FALSE(rig.link->IsOpen());
}

TEST(PanelSession, CommandsDuringAStopRunAfterItAndACloseRequestIsHonoured) {
  Rig rig;
  ASSERT_TRUE(rig.ConnectAndMirror());
  // Every cycle now blanks the display, and the stop below finds the worker
  // inside a cycle, waiting for its hand-over.
  rig.answering = false;
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.lamps == 0; }));
  ASSERT_TRUE(rig.ui.WaitForTask(5s));
  bool ranDuringStop = false;
  rig.observer.onDisplay = [&] {
    if (!rig.session->Stopping() || ranDuringStop) return;
    ranDuringStop = true;
    // What an operator's clicks can deliver inside the wait: a second
    // Disconnect, the window's close, ON.
    rig.session->Disconnect();
    rig.session->Shutdown();
    rig.session->PulseOn();
    EXPECT_TRUE(rig.session->Polling()) << "nothing acted inside the stop";
    EXPECT_FALSE(rig.session->ShutDown());
  };
  rig.session->Disconnect();
  ASSERT_TRUE(ranDuringStop) << "the wait served no hand-over; the test proved nothing";
  EXPECT_FALSE(rig.session->OnLine());
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.session->ShutDown(); }));
  for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);
  EXPECT_FALSE(rig.session->Pulsing());
  EXPECT_EQ(rig.session->Image(), nullptr);
  const auto events = rig.link->Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "pulse"), 0);
}

TEST(PanelSession, OnPulseStopsPollingOnceAndRestartsItUnlessDisconnected) {
  {
    GatedClock gate(kOnPulse);
    Rig rig(SerialProfile(), &gate);
    ASSERT_TRUE(rig.ConnectAndMirror());
    rig.session->SetFrozen(true);
    rig.session->PulseOn();
    EXPECT_FALSE(rig.session->Polling());
    ASSERT_TRUE(rig.PumpUntil([&] { return gate.SomeoneWaiting(); }));
    const int queries = rig.Queries();
    rig.session->PulseOn();  // a second ON while the line is up
    for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);
    EXPECT_EQ(rig.Queries(), queries) << "no query while the line is up";
    gate.Open();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.observer.Count("polling restarted") == 1; }));
    EXPECT_TRUE(rig.session->Polling());
    EXPECT_FALSE(rig.session->Frozen()) << "the new worker runs: Freeze is over";
    const auto events = rig.link->Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "pulse"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "rest"), 1);
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.Queries() > queries; }));
  }
  {
    GatedClock gate(kOnPulse);
    Rig rig(SerialProfile(), &gate);
    ASSERT_TRUE(rig.ConnectAndMirror());
    rig.session->PulseOn();
    ASSERT_TRUE(rig.PumpUntil([&] { return gate.SomeoneWaiting(); }));
    rig.session->Disconnect();
    gate.Open();
    ASSERT_TRUE(rig.PumpUntil([&] { return !rig.session->Pulsing(); }));
    for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);
    EXPECT_FALSE(rig.session->Polling());
    EXPECT_EQ(rig.observer.Count("polling restarted"), 0);
  }
}

TEST(PanelSession, FreezeHoldsThePollWorkerBetweenTransactions) {
  Rig rig;
  ASSERT_TRUE(rig.ConnectAndMirror());
  rig.session->SetFrozen(true);
  for (int i = 0; i < 20; ++i) rig.ui.RunNext(1ms);  // the cycle under way ends
  const int queries = rig.Queries();
  for (int i = 0; i < 50; ++i) rig.ui.RunNext(1ms);
  EXPECT_EQ(rig.Queries(), queries);
  EXPECT_TRUE(rig.session->Frozen());
  rig.session->SetFrozen(false);
  ASSERT_TRUE(rig.PumpUntil([&] { return rig.Queries() > queries; }));
  // A frozen worker is released to end: Disconnect does not hang.
  rig.session->SetFrozen(true);
  rig.session->Disconnect();
  EXPECT_FALSE(rig.session->Polling());
}

}  // namespace
}  // namespace amppanel
