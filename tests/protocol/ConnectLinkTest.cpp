#include <gtest/gtest.h>

#include <atomic>

#include "core/OneShotWorker.h"
#include "protocol/ConnectLink.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScriptedLink.h"

namespace amppanel {
namespace {

using test::ManualClock;
using test::ScriptedLink;

// Runs the connection sequence on a real worker while this thread serves as
// the UI thread, recording the reports in order.
struct ConnectRun {
  explicit ConnectRun(const BuildProfile& p = SerialProfile(), int comPort = 3)
      : profile(p), settings{.comPort = comPort} {}

  void Go() {
    ConnectContext context{
        .link = link,
        .profile = profile,
        .settings = settings,
        .stillWanted = [this] { return visible.load(); },
        .progress =
            [this](ConnectStep step) {
              ui.Synchronize([&] { Record(step == ConnectStep::kAttempted ? "RUN" : "HALT"); });
            },
    };
    auto worker = std::make_unique<OneShotWorker>(
        ui, clock,
        [this, context](OneShotWorker& t) {
          const auto result = ConnectLink(t, context);
          ui.Synchronize([&] {
            Record(result ? "EXCEPT" : "DONE");
            if (result) failure = *result;
          });
        },
        OneShotProc{});
    worker->WaitFor();
  }
  void Record(const std::string& text) {
    reports.push_back(text);
    if (onReport) onReport(text);
  }
  int Runs() const { return static_cast<int>(std::count(reports.begin(), reports.end(), "RUN")); }

  const BuildProfile& profile;
  LinkSettings settings;
  QueueUiThread ui;
  ManualClock clock;
  ScriptedLink link;
  std::atomic<bool> visible{true};
  std::vector<std::string> reports;
  std::function<void(const std::string&)> onReport;
  std::string failure;
};

TEST(ConnectLink, NoPortChosenFailsAtOnce) {
  ConnectRun run(SerialProfile(), 0);
  run.Go();
  EXPECT_EQ(run.reports, (std::vector<std::string>{"HALT", "EXCEPT"}));
  EXPECT_EQ(run.failure, "CAN'T OPEN SERIAL LINK...  #[1071]");
  EXPECT_EQ(run.link.OpenCalls(), 0);
}

TEST(ConnectLink, OpensAfterFailedAttemptsPacedThreeHundredMs) {
  ConnectRun run;
  run.link.ScriptOpens({1, 1});
  run.Go();
  EXPECT_EQ(run.reports, (std::vector<std::string>{"RUN", "RUN", "RUN", "HALT", "DONE"}));
  EXPECT_EQ(run.clock.Sleeps(), (std::vector<milliseconds>{milliseconds(300), milliseconds(300)}));
  EXPECT_TRUE(run.failure.empty());
  EXPECT_EQ(run.link.Events().back(), "configure");
}

TEST(ConnectLink, HundredFailedAttemptsGiveUp) {
  ConnectRun run;
  run.link.ScriptOpens(std::vector<int>(100, 1));
  run.Go();
  EXPECT_EQ(run.Runs(), 100);
  EXPECT_EQ(run.link.OpenCalls(), 100);
  EXPECT_EQ(run.reports.back(), "EXCEPT");
  EXPECT_EQ(run.failure, "CAN'T OPEN SERIAL LINK...  #[1071]");
}

// A link that knows why it cannot open (a device the user may not use, a
// remote station's answer) has it shown under the status text; an abort keeps
// it too, since it tells the operator why the attempts were failing.
TEST(ConnectLink, TheLinksDetailOfAFailedOpenFollowsTheStatusText) {
  ConnectRun failed;
  failed.link.ScriptOpens(std::vector<int>(100, 1));
  failed.link.openFailureDetail = "You have no permission to use /dev/ttyS0.";
  failed.Go();
  EXPECT_EQ(failed.failure,
            "CAN'T OPEN SERIAL LINK...  #[1071]\n\nYou have no permission to use /dev/ttyS0.");

  ConnectRun aborted;
  aborted.link.ScriptOpens(std::vector<int>(100, 1));
  aborted.link.openFailureDetail = "Host not found.";
  aborted.onReport = [&](const std::string& text) {
    if (text == "RUN") aborted.visible = false;
  };
  aborted.Go();
  EXPECT_EQ(aborted.failure, "PROCESS ABORTED...  #[1071]\n\nHost not found.");
}

TEST(ConnectLink, AbortStopsAfterTheCurrentAttempt) {
  ConnectRun run;
  run.link.ScriptOpens(std::vector<int>(100, 1));
  run.onReport = [&](const std::string& text) {
    if (text == "RUN" && run.Runs() == 3) run.visible = false;  // operator hides the window
  };
  run.Go();
  EXPECT_EQ(run.link.OpenCalls(), 3);
  EXPECT_EQ(run.failure, "PROCESS ABORTED...  #[1071]");
  EXPECT_EQ(run.reports.back(), "EXCEPT");
}

TEST(ConnectLink, AbortAfterSuccessfulFirstAttemptIsIgnored) {
  ConnectRun run;
  run.onReport = [&](const std::string&) { run.visible = false; };
  run.Go();
  EXPECT_EQ(run.reports, (std::vector<std::string>{"RUN", "HALT", "DONE"}));
  EXPECT_TRUE(run.failure.empty());
}

TEST(ConnectLink, UsbReportsTheDriversLastStatusAndIgnoresComPort) {
  ConnectRun run(UsbProfile(), 0);
  run.link.ScriptOpens(std::vector<int>(100, 2));
  run.Go();
  EXPECT_EQ(run.failure, "USB DEVICE NOT FOUND...  #[1027]");
}

TEST(ConnectLink, FailedConfigurationClosesTheLinkAndReportsItsLocation) {
  ConnectRun run(UsbProfile());
  run.link.onConfigure = [] { RaiseLinkError(UsbProfile(), 7, 1031); };
  run.Go();
  EXPECT_EQ(run.reports, (std::vector<std::string>{"RUN", "HALT", "EXCEPT"}));
  EXPECT_EQ(run.failure, "FT_INVALID_BAUD_RATE  #[1031]");
  EXPECT_FALSE(run.link.IsOpen());
}

}  // namespace
}  // namespace amppanel
