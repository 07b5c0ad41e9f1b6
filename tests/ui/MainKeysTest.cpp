// The main window's keys offscreen: combinations with the full keypad's holds,
// OFF and its question, ON and its pulse, and what typing does.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "tests/ui/FreezeAtRest.h"
#include "tests/ui/KeyHarness.h"

using namespace amppanel;
using test::Codes;
using test::FreezeRightAfterADrawing;
using test::KeyHarness;

namespace {

// What holding a key down does: one press, then press and release pairs
// marked as repeats, then the real release.
void HoldWithRepeat(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers, int repeats) {
  QTest::keyPress(target, key, modifiers);
  for (int i = 0; i < repeats; ++i) {
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, QString(), true);
    QApplication::sendEvent(target, &up);
    QKeyEvent down(QEvent::KeyPress, key, modifiers, QString(), true);
    QApplication::sendEvent(target, &down);
  }
}

// Ctrl with the letter pressed and released in the main window.
void CtrlTap(QWidget* target, Qt::Key key) { QTest::keyClick(target, key, Qt::ControlModifier); }

}  // namespace

class MainKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void holdsTurnTheNextKeyIntoItsCombination() {
    KeyHarness h;
    QVERIFY(h.Connect());
    QWidget* main = h.form.get();

    // DISPLAY held by Ctrl+D: INPUT sends 19 and uses the hold up.
    CtrlTap(main, Qt::Key_D);
    QVERIFY(h.Full().Held().display);
    QTest::keyClick(main, Qt::Key_I);
    QTest::keyClick(main, Qt::Key_I);
    QCOMPARE(h.Keys(), (Codes{19, 1}));
    QVERIFY(!h.Full().ButtonDown(PanelKey::kDisplay));

    // CAT held while POWER is held takes over; L down then sends 30.
    CtrlTap(main, Qt::Key_P);
    CtrlTap(main, Qt::Key_T);
    QVERIFY(!h.Full().Held().power);
    QVERIFY(h.Full().Held().cat);
    CtrlTap(main, Qt::Key_L);
    QCOMPARE(h.Keys().back(), 30);

    // POWER stays held over any number of L steps.
    CtrlTap(main, Qt::Key_P);
    for (int i = 0; i < 3; ++i) CtrlTap(main, Qt::Key_L);
    const Codes sent = h.Keys();
    QCOMPARE(Codes(sent.end() - 3, sent.end()), (Codes{28, 28, 28}));
    QVERIFY(h.Full().Held().power);

    // TUNE with OPERATE held sends 18 and lets OPERATE go.
    CtrlTap(main, Qt::Key_O);
    QTest::keyClick(main, Qt::Key_U);
    QCOMPARE(h.Keys().back(), 18);
    QVERIFY(!h.Full().Held().operate);
  }

  void basicKeypadUsesTheFullKeypadsHoldWhileThatIsHidden() {
    KeyHarness h;
    QVERIFY(h.Connect());
    h.Act("actJKeypad").trigger();
    QVERIFY(!h.Full().isVisible());
    QVERIFY(h.Basic().isVisible());
    CtrlTap(h.form.get(), Qt::Key_D);
    QTest::mouseClick(h.Basic().Button(PanelKey::kInput), Qt::LeftButton);
    QCOMPARE(h.Keys(), (Codes{19}));
    // Ctrl+D released in the basic keypad itself holds nothing.
    QTest::keyClick(&h.Basic(), Qt::Key_D, Qt::ControlModifier);
    QTest::mouseClick(h.Basic().Button(PanelKey::kInput), Qt::LeftButton);
    QCOMPARE(h.Keys(), (Codes{19, 1}));
  }

  void offAsksAndSendsOnlyOnYes() {
    KeyHarness h;
    QVERIFY(h.Connect());
    QTest::keyPress(h.form.get(), Qt::Key_F);
    QVERIFY2(h.dialogs->Shown().empty(), "typing F does nothing until its release");
    QTest::keyRelease(h.form.get(), Qt::Key_F);
    QCOMPARE(h.dialogs->Shown(),
             std::vector<std::string>{"question: Do you wish to switch the KALDOR linear off?"});
    QVERIFY(h.Keys().empty());

    h.dialogs->answerYes = true;
    QTest::keyClick(h.form.get(), Qt::Key_F);
    QCOMPARE(h.Keys(), (Codes{10}));
    QTest::mouseClick(h.Full().Button(PanelKey::kOff), Qt::LeftButton);
    QCOMPARE(h.Keys(), (Codes{10, 10}));
    QCOMPARE(h.dialogs->Shown().size(), std::size_t(3));
  }

  void fReleasedAsksNothingOffLineDisabledOrAfterAShortcut() {
    KeyHarness h;
    h.dialogs->answerYes = true;
    QTest::keyClick(h.form.get(), Qt::Key_F);  // off-line
    QVERIFY(h.Connect());
    h.form->DisableKeyActions();
    QTest::keyClick(h.form.get(), Qt::Key_F);
    h.form->EnableKeyActions();

    // Ctrl+F is Freeze: its release must not ask to switch the amplifier off.
    h.form->FullKeypad()->hide();
    h.form->show();
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    QTest::keyClick(h.form.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(h.Act("actFreeze").isChecked());
    QVERIFY(h.dialogs->Shown().empty());
    QVERIFY(h.Keys().empty());
    h.Act("actFreeze").trigger();
  }

  void typedCharactersRunTheirActionsInEitherCase() {
    KeyHarness h;
    QVERIFY(h.Connect());
    QTest::keyClicks(h.form.get(), "iI+-abcdlopstu");
    QCOMPARE(h.Keys(), (Codes{1, 1, 16, 15, 4, 3, 8, 12, 6, 13, 11, 17, 14, 9}));
    // The numeric pad's plus and minus mirror the arrows as the main keys do.
    QTest::keyPress(h.form.get(), Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(h.Full().ButtonDown(PanelKey::kRightArrow));
    QTest::keyRelease(h.form.get(), Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyPress(h.form.get(), Qt::Key_Underscore, Qt::ShiftModifier);
    QVERIFY(h.Full().ButtonDown(PanelKey::kLeftArrow));
    QTest::keyRelease(h.form.get(), Qt::Key_Underscore, Qt::ShiftModifier);
    QVERIFY(!h.Full().ButtonDown(PanelKey::kLeftArrow));
    QCOMPARE(h.Keys().size(), std::size_t(15));
    // With Alt the letter is the menu bar's; Ctrl types a control character.
    QTest::keyClick(h.form.get(), Qt::Key_I, Qt::AltModifier);
    QTest::keyClick(h.form.get(), Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(h.form.get(), Qt::Key_K);
    QCOMPARE(h.Keys().size(), std::size_t(15));
  }

  void keyRepeatSendsEachRepeatAndKeepsTheButtonPressed() {
    KeyHarness h;
    QVERIFY(h.Connect());
    HoldWithRepeat(h.form.get(), Qt::Key_L, Qt::ControlModifier, 4);
    QCOMPARE(h.Keys(), (Codes{5, 5, 5, 5, 5}));
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_L, Qt::ControlModifier, QString(), true);
    QApplication::sendEvent(h.form.get(), &repeatUp);
    QVERIFY2(h.Full().ButtonDown(PanelKey::kLMinus), "repeat releases are not the real release");
    QTest::keyRelease(h.form.get(), Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!h.Full().ButtonDown(PanelKey::kLMinus));

    // F held down asks once, at the real release.
    HoldWithRepeat(h.form.get(), Qt::Key_F, Qt::NoModifier, 3);
    QVERIFY(h.dialogs->Shown().empty());
    QTest::keyRelease(h.form.get(), Qt::Key_F);
    QCOMPARE(h.dialogs->Shown().size(), std::size_t(1));

    // A key held in the main window shows on both keypads until released.
    QTest::keyPress(h.form.get(), Qt::Key_P);
    QVERIFY(h.Full().ButtonDown(PanelKey::kPower));
    QVERIFY(h.Basic().ButtonDown(PanelKey::kPower));
    QTest::keyRelease(h.form.get(), Qt::Key_P);
    QVERIFY(!h.Full().ButtonDown(PanelKey::kPower));
    QVERIFY(!h.Basic().ButtonDown(PanelKey::kPower));
  }

  void kWithNoKeypadShownDoesNothing() {
    KeyHarness h;
    QVERIFY(h.Connect());
    h.Act("actKeypad").trigger();
    QVERIFY(!h.Full().isVisible() && !h.Basic().isVisible());
    QTest::keyClick(h.form.get(), Qt::Key_K);
    h.Act("actRecallKeypad").trigger();
    QVERIFY(!h.Full().isVisible() && !h.Basic().isVisible());
    QVERIFY(h.Keys().empty());
  }

  void offLineNoKeyCharacterOrWheelSendsAnything() {
    KeyHarness h;
    QSignalSpy band(&h.Act("actBandPlus"), &QAction::triggered);
    QTest::keyClicks(h.form.get(), "iabn+-");
    CtrlTap(h.form.get(), Qt::Key_B);
    QTest::mouseClick(h.Full().Button(PanelKey::kBandPlus), Qt::LeftButton);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(h.Full().Button(PanelKey::kBandPlus), &move);
    QWheelEvent wheel(QPointF(80, 70), h.Full().mapToGlobal(QPointF(80, 70)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&h.Full(), &wheel);
    QCOMPARE(h.Writes(), std::size_t(0));
    QCOMPARE(band.count(), 0);
    QCOMPARE(h.clock.Pulses(), 0);
  }

  void keyActionsAreEnabledInTheirFixedOrder() {
    KeyHarness h;
    QStringList order;
    for (PanelKey key : AllPanelKeys()) {
      QAction* action = h.form->KeyAction(key);
      QObject::connect(action, &QAction::enabledChanged, action,
                       [&order, action] { order << action->objectName(); });
    }
    h.form->EnableKeyActions();
    QStringList expected;
    for (PanelKey key : AllPanelKeys()) expected << QString::fromLatin1(ActionName(key).data());
    QCOMPARE(order, expected);
    QCOMPARE(expected.front(), QString("actInput"));
    QCOMPARE(expected.back(), QString("actOn"));
  }

  void onStopsPollingForThePulseThenPollsAgain() {
    KeyHarness h;
    QVERIFY(h.Connect());
    h.clock.Shut();
    QTest::keyClick(h.form.get(), Qt::Key_N);
    QVERIFY(!h.form->Polling());
    QTRY_COMPARE(h.clock.Pulses(), 1);
    const std::size_t during = h.Writes();
    h.clock.Open();
    QTRY_VERIFY(h.form->Polling());
    QTRY_VERIFY(h.Writes() > during);
    QCOMPARE(h.Keys(), Codes{});  // ON sends no code

    // The line went up and down with no poll in between.
    const auto events = h.link->Events();
    const auto pulse = std::find(events.begin(), events.end(), "pulse");
    const auto rest = std::find(events.begin(), events.end(), "rest");
    QVERIFY(pulse < rest && rest != events.end());
    QVERIFY(std::find(pulse, rest, "purge") == rest);
  }

  void onWhileFrozenReplacesThePausedWorkerWithARunningOne() {
    KeyHarness h;
    QVERIFY(h.Connect());
    QVERIFY(FreezeRightAfterADrawing(*h.form));
    const std::size_t frozen = h.Writes();
    h.clock.Shut();
    h.Act("actOn").trigger();
    QTRY_COMPARE(h.clock.Pulses(), 1);
    // From the freeze to the pulse the paused worker wrote nothing.
    QCOMPARE(h.Writes(), frozen);
    h.clock.Open();
    QTRY_VERIFY(h.form->Polling());
    QTRY_VERIFY(h.Writes() > frozen + 2);
    QVERIFY(!h.Act("actFreeze").isChecked());
    h.form->RefreshWindowState();
    QCOMPARE(h.form->StatusPanel(0)->text(), QString("ON-LINE"));
    QVERIFY(!h.Act("actSave").isEnabled());
  }

  void disconnectDuringThePulseLeavesPollingStopped() {
    KeyHarness h;
    QVERIFY(h.Connect());
    h.clock.Shut();
    h.Act("actOn").trigger();
    QTRY_COMPARE(h.clock.Pulses(), 1);
    h.form->Disconnect();
    h.clock.Open();
    QTRY_VERIFY(h.link->Events().back() == "rest");
    // The worker's last step, the hand-over that would restart polling, shows
    // nothing when it rightly does nothing. This span cannot fail a sound
    // window; it is the time a faulty restart gets to show itself.
    QTest::qWait(100);
    QVERIFY(!h.form->Polling());
    QVERIFY(!h.form->OnLine());
    QVERIFY(h.dialogs->Shown().empty());
  }
};

QTEST_MAIN(MainKeysTest)
#include "MainKeysTest.moc"
