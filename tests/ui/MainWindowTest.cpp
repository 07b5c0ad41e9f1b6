// The main window offscreen: connect, mirror, lose and regain the amplifier,
// disconnect, fail, abort and close, against an in-memory amplifier link.
#include <QAction>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <memory>
#include <set>

#include "protocol/Frames.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedLink.h"
#include "tests/ui/DisplayChecks.h"
#include "ui/DisplayView.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindow.h"

using namespace amppanel;
using test::Bytes;

namespace {

// Letter A in cell (0, 0), everything else blank, status byte as given.
Bytes DisplayWithA(std::uint8_t status) {
  Bytes data(kDisplayDataSize, 0);
  data[0] = 33;
  return DisplayReply(0x01, status, data);
}

// Counts the paints a widget receives.
struct PaintCounter : QObject {
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
  int count = 0;
};

struct Harness {
  explicit Harness(const BuildProfile& profile = SerialProfile(), int comPort = 1) {
    auto owned = std::make_unique<test::ScriptedLink>();
    link = owned.get();
    link->responder = [this](const Bytes& written) {
      if (written.size() >= 2 && written[written.size() - 2] == kQueryCode && answering.load()) {
        return DisplayWithA(status.load());
      }
      return Bytes{};
    };
    form = std::make_unique<MainWindow>(profile, std::move(owned), clock);
    auto recorder = std::make_unique<test::RecordingDialogs>();
    dialogs = recorder.get();
    form->SetDialogs(std::move(recorder));
    form->Settings().comPort = comPort;
  }

  Rgb Pixel(int x, int y) const { return form->Image()->Pixel(x, y); }

  SteadyClock clock{20};
  test::ScriptedLink* link = nullptr;
  test::RecordingDialogs* dialogs = nullptr;
  std::unique_ptr<MainWindow> form;
  std::atomic<bool> answering{true};
  std::atomic<std::uint8_t> status{0xF8};
};

using test::AllPixelsAre;

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void connectsMirrorsAndDisconnects() {
    Harness h;
    QSignalSpy lamps(h.form.get(), &MainWindow::LampsChanged);
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.form->OnLine(), 5000);
    QVERIFY(!h.form->Progress()->isVisible());
    QVERIFY(!h.form->Action("actOpen")->isEnabled());
    QVERIFY(h.form->Action("actClose")->isEnabled());
    // The key sent on connecting comes before the first query.
    const auto writes = h.link->Writes();
    QVERIFY(!writes.empty());
    QCOMPARE(writes.front(), KeyFrame(SerialProfile(), 101));

    // Letter A: dot columns 2-4 of its top row are lit.
    QTRY_VERIFY_WITH_TIMEOUT(h.Pixel(4, 2) == kDotColour, 5000);
    QVERIFY(h.Pixel(3, 2) == SerialProfile().onLineBackground);
    QTRY_VERIFY(!lamps.isEmpty());
    QCOMPARE(lamps.last().at(0).value<std::uint8_t>(), std::uint8_t(0x07));
    QVERIFY(h.form->Action("actLoadUpdate")->isEnabled());

    h.form->Disconnect();
    QVERIFY(!h.form->OnLine());
    QVERIFY(!h.form->Polling());
    QVERIFY(!h.link->IsOpen());
    QVERIFY(h.form->Action("actOpen")->isEnabled());
    QVERIFY(!h.form->Action("actLoadUpdate")->isEnabled());
    QCOMPARE(lamps.last().at(0).value<std::uint8_t>(), std::uint8_t(0));
    QVERIFY(AllPixelsAre(*h.form->Image(), kOffLineBackground));
    QVERIFY(h.dialogs->Shown().empty());
  }

  void aStandingDisplayCostsNoDrawingAndLampsChangeOnlyWithTheirByte() {
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    PaintCounter viewPaints(h.form->View());
    QSignalSpy lamps(h.form.get(), &MainWindow::LampsChanged);
    QSignalSpy frames(h.form.get(), &MainWindow::FrameShown);
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.Pixel(4, 2) == kDotColour, 5000);
    QTRY_VERIFY(viewPaints.count > 0);
    QCOMPARE(lamps.count(), 1);

    // The same reply, cycle after cycle.
    viewPaints.count = 0;
    const int seen = static_cast<int>(frames.count());
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= seen + 5, 5000);
    QCoreApplication::processEvents();
    QCOMPARE(viewPaints.count, 0);
    QCOMPARE(lamps.count(), 1);

    // A new status byte lights other lamps, once.
    h.status = 0x00;
    QTRY_COMPARE_WITH_TIMEOUT(lamps.count(), 2, 5000);
    QCOMPARE(lamps.last().at(0).value<std::uint8_t>(), std::uint8_t(0xFF));
    const int later = static_cast<int>(frames.count());
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= later + 3, 5000);
    QCOMPARE(lamps.count(), 2);
    QVERIFY(!h.form->Action("actLoadUpdate")->isEnabled());
    h.form->Disconnect();
  }

  void silentAmplifierBlanksThenReturnsWithoutReconnecting() {
    Harness h;
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.Pixel(4, 2) == kDotColour, 5000);
    h.answering = false;
    QTRY_VERIFY_WITH_TIMEOUT(AllPixelsAre(*h.form->Image(), SerialProfile().onLineBackground),
                             5000);
    QVERIFY(!h.form->Action("actLoadUpdate")->isEnabled());
    QVERIFY(h.form->OnLine());
    const int opens = h.link->OpenCalls();
    h.answering = true;
    QTRY_VERIFY_WITH_TIMEOUT(h.Pixel(4, 2) == kDotColour, 5000);
    QCOMPARE(h.link->OpenCalls(), opens);
  }

  void noPortChosenFailsAtOnce() {
    Harness h(SerialProfile(), 0);
    QSignalSpy configure(h.form.get(), &MainWindow::ConfigureConnectionRequested);
    h.form->Connect();
    QTRY_COMPARE_WITH_TIMEOUT(h.dialogs->Shown().size(), std::size_t(1), 5000);
    QCOMPARE(h.dialogs->Shown().front(), std::string("error: CAN'T OPEN SERIAL LINK...  #[1071]"));
    QVERIFY(!h.form->Progress()->isVisible());
    QTRY_VERIFY(h.form->Action("actOpen")->isEnabled());
    QTRY_COMPARE(configure.count(), 1);
    QVERIFY(!h.form->OnLine());
    QCOMPARE(h.link->OpenCalls(), 0);
  }

  void abortDuringRetries() {
    Harness h;
    h.link->ScriptOpens(std::vector<int>(100, 1));
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.link->OpenCalls() >= 2, 5000);
    h.form->Progress()->btnAbortClick();
    h.form->Progress()->btnAbortClick();  // twice changes nothing further
    QTRY_COMPARE_WITH_TIMEOUT(h.dialogs->Shown().size(), std::size_t(1), 5000);
    QCOMPARE(h.dialogs->Shown().front(), std::string("error: PROCESS ABORTED...  #[1071]"));
    QVERIFY(h.link->OpenCalls() < 100);
    QVERIFY(!h.form->OnLine());
  }

  void usbLinkFailureDisconnectsWithAnErrorBox() {
    Harness h(UsbProfile());
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.Pixel(4, 2) == kDotColour, 5000);
    h.link->FailEveryRead(4);
    QTRY_VERIFY_WITH_TIMEOUT(!h.form->OnLine(), 5000);
    QTRY_COMPARE(h.dialogs->Shown().size(), std::size_t(1));
    const std::string shown = h.dialogs->Shown().front();
    QVERIFY2(shown.rfind("error: FATAL ERROR ON USB LINK...  #[", 0) == 0, shown.c_str());
    QVERIFY(!h.form->Polling());
    QVERIFY(!h.link->IsOpen());
    QVERIFY(h.form->Action("actOpen")->isEnabled());
  }

  void closingWhileOnLineEndsEveryWorkerBeforeReleasingTheImage() {
    Harness h;
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.form->Polling(), 5000);
    h.form->close();
    QVERIFY(!h.form->Polling());
    QVERIFY(h.form->Image() == nullptr);
    QVERIFY(!h.link->IsOpen());
  }

  void closeDuringDisconnectWaitsForTheStopThenCloses() {
    Harness h;
    h.form->show();
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.form->Polling(), 5000);
    // The operator closes the window while Disconnect waits for the poll
    // worker: the close event arrives inside that wait.
    bool closedInsideTheWait = false;
    QTimer::singleShot(0, h.form.get(), [&] {
      closedInsideTheWait = h.form->Session().Stopping();
      h.form->close();
    });
    h.form->Disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(!h.form->isVisible(), 5000);
    QVERIFY(h.form->Image() == nullptr);
    QVERIFY(!h.link->IsOpen());
    QVERIFY(!h.form->Polling());
    if (!closedInsideTheWait) QSKIP("the stop ended before the close arrived");
  }

  void firmwareUpdateGuardsTheBaudRateAndACancelUndoesTheArming() {
    {
      Harness h;
      h.form->Settings().baudIndex = 5;  // 57600
      QSignalSpy configure(h.form.get(), &MainWindow::ConfigureConnectionRequested);
      h.form->Connect();
      QTRY_VERIFY_WITH_TIMEOUT(h.form->Action("actLoadUpdate")->isEnabled(), 5000);
      const std::size_t written = h.link->Writes().size();
      h.form->Action("actLoadUpdate")->trigger();
      QVERIFY(!h.form->OnLine());
      QCOMPARE(h.dialogs->Shown().front(),
               std::string("error: Firmware update is allowed \rat 115200 Baud only."));
      QCOMPARE(configure.count(), 1);
      for (std::size_t i = written; i < h.link->Writes().size(); ++i) {
        QVERIFY2(h.link->Writes()[i] != KeyFrame(SerialProfile(), 100), "nothing armed");
      }
    }
    {
      Harness h;
      h.form->Connect();
      QTRY_VERIFY_WITH_TIMEOUT(h.form->Action("actLoadUpdate")->isEnabled(), 5000);
      h.dialogs->fileToGive.reset();  // the operator cancels the package dialog
      h.form->Action("actLoadUpdate")->trigger();
      QCOMPARE(h.dialogs->Shown().back(), std::string("open: Open Package file"));
      const auto writes = h.link->Writes();
      const auto armed = std::find(writes.begin(), writes.end(), KeyFrame(SerialProfile(), 100));
      QVERIFY(armed != writes.end());
      QVERIFY(std::find(armed, writes.end(), KeyFrame(SerialProfile(), 101)) != writes.end());
      QVERIFY(h.form->Polling());
      QVERIFY(h.form->OnLine());
    }
  }

  void closingDuringRetriesGivesUpQuietly() {
    Harness h;
    h.link->ScriptOpens(std::vector<int>(100, 1));
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.link->OpenCalls() >= 1, 5000);
    h.form->close();
    QVERIFY(h.link->OpenCalls() < 100);
    QVERIFY(h.dialogs->Shown().empty());
  }

  void stretchNeverBlendsColours() {
    Harness h;
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.Pixel(4, 2) == kDotColour, 5000);
    h.form->Disconnect();
    // Draw a pattern, then stretch it onto an area that is no whole multiple.
    h.form->ResetDisplay(SerialProfile().onLineBackground);
    for (int c = 0; c < 40; ++c) h.form->Image()->DrawCell(c, c % 8, 33 + c, false, c % 3 == 0);
    h.form->View()->resize(737, 251);
    const QImage shot = h.form->View()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const QColor dot(0, 0, 0);
    const Rgb bg = SerialProfile().onLineBackground;
    const QColor back(bg.r, bg.g, bg.b);
    int dots = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        QVERIFY2(c == dot || c == back, qPrintable(QString("blended at %1,%2").arg(x).arg(y)));
        dots += c == dot ? 1 : 0;
      }
    }
    QVERIFY(dots > 0);
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
