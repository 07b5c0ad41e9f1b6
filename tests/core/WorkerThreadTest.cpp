#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/OneShotWorker.h"
#include "core/PollWorker.h"
#include "tests/support/ManualClock.h"

namespace amppanel {
namespace {

using test::ManualClock;
using namespace std::chrono_literals;

struct Counters {
  std::atomic<int> work{0};
  int frame = 0;   // UI thread only
  int status = 0;  // UI thread only
};

TEST(PollWorker, TerminateDuringThePauseRunsNoFurtherWorkStep) {
  QueueUiThread ui;
  SteadyClock clock;
  Counters n;
  PollWorker worker(
      ui, clock, 60s, [&](PollWorker&) { ++n.work; }, [&](PollWorker&) { ++n.frame; },
      [&](PollWorker&) { ++n.status; });
  while (n.status == 0) ui.RunNext(5s);
  // The worker is now in (or about to enter) its 60 s pause.
  worker.Terminate();
  worker.WaitFor();
  EXPECT_EQ(n.work.load(), 1);
  EXPECT_EQ(n.frame, 1);
  EXPECT_TRUE(worker.Finished());
}

TEST(PollWorker, OneCycleWakesTheUiThreadOnceFrameFirstThenStatus) {
  QueueUiThread ui;
  ManualClock clock;
  std::vector<std::string> order;  // UI thread only
  PollWorker worker(
      ui, clock, 80ms, [](PollWorker&) {}, [&](PollWorker&) { order.push_back("frame"); },
      [&](PollWorker& t) {
        order.push_back("status");
        t.Terminate();
      });
  ASSERT_TRUE(ui.WaitForTask(5s));
  // The worker waits for its hand-over, so nothing else can be queued yet.
  EXPECT_EQ(ui.RunPending(), 1);
  EXPECT_EQ(order, (std::vector<std::string>{"frame", "status"}));
  worker.WaitFor();
  EXPECT_EQ(order.size(), 2u);
}

TEST(PollWorker, TerminateInsideStatusCallbackEndsAfterItAndItsPause) {
  QueueUiThread ui;
  ManualClock clock;
  Counters n;
  PollWorker worker(
      ui, clock, 80ms, [&](PollWorker&) { ++n.work; }, [&](PollWorker&) { ++n.frame; },
      [&](PollWorker& t) {
        ++n.status;
        t.Terminate();
      });
  worker.WaitFor();
  EXPECT_EQ(n.work.load(), 1);
  EXPECT_EQ(n.frame, 1);
  EXPECT_EQ(n.status, 1);
  EXPECT_EQ(clock.Sleeps(), std::vector<milliseconds>{80ms});
}

TEST(PollWorker, SuspendedWorkerRunsNothingUntilResumedThenEndsOnTerminate) {
  QueueUiThread ui;
  ManualClock clock;
  Counters n;
  PollWorker worker(
      ui, clock, 80ms, [&](PollWorker&) { ++n.work; }, nullptr,
      [&](PollWorker& t) {
        ++n.status;
        if (n.status == 1) t.Suspend();
      });
  while (n.status == 0) ui.RunNext(5s);
  EXPECT_FALSE(ui.RunNext(50ms));  // held at the gate: no further hand-over
  EXPECT_EQ(n.work.load(), 1);
  worker.Resume();
  worker.Terminate();
  worker.WaitFor();
  EXPECT_LE(n.work.load(), 2);
  EXPECT_TRUE(worker.UnexpectedError().empty());
}

TEST(PollWorker, TerminateAloneReleasesASuspendedWorker) {
  QueueUiThread ui;
  ManualClock clock;
  std::atomic<int> work{0};
  PollWorker worker(
      ui, clock, 80ms,
      [&](PollWorker& t) {
        ++work;
        t.Suspend();
      },
      nullptr, nullptr);
  while (!worker.Suspended()) std::this_thread::yield();
  worker.Terminate();
  worker.WaitFor();
  EXPECT_EQ(work.load(), 1);
}

TEST(PollWorker, WaitingOnTheUiThreadServesTheWorkersHandOver) {
  QueueUiThread ui;
  ManualClock clock;
  std::promise<void> inWorkStep;
  std::promise<void> mayGoOn;
  int frames = 0;
  PollWorker worker(
      ui, clock, 80ms,
      [&](PollWorker&) {
        inWorkStep.set_value();
        mayGoOn.get_future().wait();
      },
      [&](PollWorker&) { ++frames; }, nullptr);
  inWorkStep.get_future().wait();
  worker.Terminate();  // the cycle under way still runs its callbacks
  mayGoOn.set_value();
  worker.WaitFor();  // must not deadlock while the worker waits for the UI
  EXPECT_EQ(frames, 1);
}

TEST(OneShotWorker, ReportStatusWithoutStatusProcOnlyKeepsTheText) {
  QueueUiThread ui;
  ManualClock clock;
  OneShotWorker worker(
      ui, clock, [](OneShotWorker& t) { t.ReportStatus("RUN"); }, nullptr);
  worker.WaitFor();
  EXPECT_EQ(worker.StatusText(), "RUN");
}

TEST(OneShotWorker, ExceptionInUiCallbackReachesTheWorker) {
  QueueUiThread ui;
  ManualClock clock;
  std::string caught;
  OneShotWorker worker(
      ui, clock,
      [&](OneShotWorker& t) {
        try {
          t.ReportStatus("DONE");
        } catch (const std::runtime_error& e) {
          caught = e.what();
        }
        t.ReportStatus("again");  // escapes: ends the worker quietly
      },
      [](OneShotWorker& t) { throw std::runtime_error("from UI: " + t.StatusText()); });
  worker.WaitFor();
  EXPECT_EQ(caught, "from UI: DONE");
  EXPECT_EQ(worker.UnexpectedError(), "from UI: again");
}

TEST(WorkerSet, KeepsDroppedWorkersUntilTheyEndAndWaitsForThemAll) {
  QueueUiThread ui;
  ManualClock clock;
  std::atomic<int> cycles{0};
  {
    WorkerSet workers;
    std::weak_ptr<PollWorker> weak;
    {
      auto poll = workers.Start<PollWorker>(
          ui, clock, 80ms, [&](PollWorker&) { ++cycles; }, [](PollWorker&) {}, nullptr);
      weak = poll;
      while (cycles.load() == 0) ui.RunNext(5s);
      poll->Terminate();
    }  // the owner's reference is gone; the worker may still be running
    EXPECT_FALSE(weak.expired());
    workers.WaitForAll();
    EXPECT_TRUE(weak.expired());
  }
  EXPECT_GE(cycles.load(), 1);
}

}  // namespace
}  // namespace amppanel
