// Keys from the main window and the keypads to the virtual amplifier behind a
// real pseudo-terminal, through the real serial link.
#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QtTest>
#include <memory>

#include "link/serial/SerialLink.h"
#include "protocol/Frames.h"
#include "tests/support/PtyAmplifier.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/ui/DisplayChecks.h"
#include "tests/ui/FreezeAtRest.h"
#include "ui/FullKeypadWindow.h"
#include "ui/MainWindow.h"

using namespace amppanel;

namespace {

using Amplifier = test::PtyAmplifier;
using test::ShowsTheAmplifiersDisplay;

// The panel on the amplifier's pseudo-terminal, with waits 4 times faster.
struct Panel {
  explicit Panel(const Amplifier& amp) {
    const std::string device = amp.Device();
    form = std::make_unique<MainWindow>(
        SerialProfile(), std::make_unique<SerialLink>([device](int) { return device; }), clock);
    form->SetDialogs(std::make_unique<test::RecordingDialogs>());
    form->Settings().comPort = 1;
  }
  SteadyClock clock{4};
  std::unique_ptr<MainWindow> form;
};

void WheelOver(FullKeypadWindow& pad, PanelKey key, int delta) {
  QWidget* button = pad.Button(key);
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(button, &move);
  const QPointF at = button->mapTo(&pad, QPointF(5, 5));
  QWheelEvent wheel(at, pad.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&pad, &wheel);
}

using Codes = std::vector<int>;

// Writes one key frame to the amplifier's port from a link of the test's own,
// after everything the panel wrote there, and waits until the amplifier has
// taken it: all the panel's frames have then been taken too.
bool MarkerTaken(const Amplifier& amp, std::uint8_t code) {
  const std::size_t keysBefore = amp.Keys().size();
  SerialLink marker([&amp](int) { return amp.Device(); });
  if (marker.Open({.comPort = 1, .baudIndex = 6}) != 0) return false;
  const std::vector<std::uint8_t> frame = KeyFrame(SerialProfile(), code);
  const bool written = marker.Write(frame).count == frame.size();
  marker.Close();
  return written && QTest::qWaitFor(
                        [&] {
                          const std::vector<int> keys = amp.Keys();
                          return keys.size() > keysBefore && keys.back() == code;
                        },
                        10000);
}

}  // namespace

class KeysEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void clickedTypedAndWheeledKeysReachTheAmplifier() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    Panel p(amp);
    MainWindow& form = *p.form;
    form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);

    const AmpState before = amp.engine.State();
    QTest::mouseClick(form.FullKeypad()->Button(PanelKey::kBandPlus), Qt::LeftButton);
    QTest::keyClick(&form, Qt::Key_O);
    QTRY_COMPARE_WITH_TIMEOUT(amp.Keys(), (Codes{key::kBandUp, key::kOperate}), 10000);
    QCOMPARE(amp.engine.State().band, before.band + 1);
    QCOMPARE(amp.engine.State().operate, !before.operate);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);

    // A hold on the full keypad turns the wheel's L step into its combination.
    QTest::mouseClick(form.FullKeypad()->Button(PanelKey::kPower), Qt::RightButton);
    WheelOver(*form.FullKeypad(), PanelKey::kLPlus, -120);
    QTRY_COMPARE_WITH_TIMEOUT(amp.Keys().back(), int{key::kLUpPower}, 10000);
    QCOMPARE(amp.engine.BadFrames(), 0);
    form.Disconnect();
  }

  void aBurstOfKeysNeverInterleavesWithTheQueries() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    Panel p(amp);
    MainWindow& form = *p.form;
    form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);

    const int framesBefore = amp.engine.FramesReceived();
    const QString burst = QString("+-").repeated(30);
    QTest::keyClicks(&form, burst);
    QTRY_COMPARE_WITH_TIMEOUT(amp.Keys().size(), std::size_t(burst.size()), 10000);
    // The polls went on meanwhile, and every frame arrived whole.
    QTRY_VERIFY_WITH_TIMEOUT(amp.engine.FramesReceived() > framesBefore + burst.size() + 2, 10000);
    QCOMPARE(amp.engine.BadFrames(), 0);
    QCOMPARE(amp.engine.GarbageBytes(), std::size_t(0));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    form.Disconnect();
  }

  void onWhileFrozenPollsAgainAfterThePulse() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    Panel p(amp);
    MainWindow& form = *p.form;
    form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QVERIFY(test::FreezeRightAfterADrawing(form));
    const int frozen = amp.engine.FramesReceived();

    QTest::keyClick(&form, Qt::Key_N);
    QVERIFY(!form.Polling());
    QTRY_VERIFY_WITH_TIMEOUT(form.Polling(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(amp.engine.FramesReceived() > frozen + 3, 10000);
    amp.engine.PressKey(key::kDisplay);  // the amplifier turns a page by itself
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QVERIFY(amp.Keys().empty());
    form.Disconnect();
  }

  void disconnectedNothingReachesTheAmplifier() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    Panel p(amp);
    MainWindow& form = *p.form;
    form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    form.Disconnect();
    // The panel's last frames may still be on their way through the
    // pseudo-terminal: a frame behind them marks where they end.
    QVERIFY(amp.Keys().empty());
    QVERIFY(MarkerTaken(amp, key::kDisplay));
    const int frames = amp.Frames();

    QTest::keyClicks(&form, "iabcdlnopstu+-");
    QTest::keyClick(&form, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_F);
    QTest::mouseClick(form.FullKeypad()->Button(PanelKey::kTune), Qt::LeftButton);
    WheelOver(*form.FullKeypad(), PanelKey::kBandPlus, -120);
    // Anything the panel sent now would reach the amplifier before this.
    QVERIFY(MarkerTaken(amp, key::kDisplay));
    QCOMPARE(amp.Frames(), frames + 1);
    QCOMPARE(amp.Keys(), (Codes{key::kDisplay, key::kDisplay}));
    QVERIFY(!form.Polling());
  }
};

QTEST_MAIN(KeysEndToEndTest)
#include "KeysEndToEndTest.moc"
