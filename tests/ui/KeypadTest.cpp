// The two keypad windows offscreen: layout, holds by mouse and keyboard,
// wheel stepping, lamps, accelerator letters, and switching between them.
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

#include "tests/ui/KeyHarness.h"

using namespace amppanel;
using test::Codes;
using test::KeyHarness;

namespace {

QColor Back(const QWidget* w) { return w->palette().color(QPalette::Window); }
QColor Text(const QWidget* w) { return w->palette().color(QPalette::WindowText); }
QColor Colour(Rgb c) { return QColor(c.r, c.g, c.b); }

// One notch (or part of one) with the pointer at `where` in the window. The
// window steps by the control the pointer last reported over, not by where
// the wheel turns.
void Wheel(QWidget& window, int delta, QPoint where = QPoint(5, 5)) {
  QWheelEvent e(where, window.mapToGlobal(QPointF(where)), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&window, &e);
}

// A plain move (no button down) delivered as Qt delivers one to the control
// under the pointer: a control that does not track the mouse drops it.
void MoveOver(QWidget* w, QPoint at = QPoint(-1, -1)) {
  const QPoint pos = at.x() < 0 ? w->rect().center() : at;
  QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

void RightClick(QWidget* w) { QTest::mouseClick(w, Qt::RightButton); }

}  // namespace

class KeypadTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsHaveTheirCaptionsSizesAndTidyButtons() {
    for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
      KeyHarness h(*profile);
      const QString name = QString::fromLatin1(profile->programName.data());
      QCOMPARE(h.Full().windowTitle(), name + ": Keypad");
      QCOMPARE(h.Basic().windowTitle(), name + ": BasicKeypad");
      QCOMPARE(h.Full().size(), QSize(508, 152));
      QCOMPARE(h.Basic().size(),
               profile->link == LinkKind::kSerial ? QSize(143, 169) : QSize(193, 171));
      QVERIFY(h.Full().windowFlags().testFlag(Qt::Tool));
      QCOMPARE(h.Full().parentWidget(), h.form.get());
      QCOMPARE(h.Basic().parentWidget(), h.form.get());
      QCOMPARE(h.Full().minimumSize(), h.Full().maximumSize());

      for (KeypadWindow* pad :
           {static_cast<KeypadWindow*>(&h.Full()), static_cast<KeypadWindow*>(&h.Basic())}) {
        std::vector<QRect> taken;
        for (PanelKey key : AllPanelKeys()) {
          KeypadButton* b = pad->Button(key);
          if (b == nullptr) continue;
          QCOMPARE(b->defaultAction(), h.form->KeyAction(key));
          QCOMPARE(b->toolTip(), b->defaultAction()->toolTip());
          QVERIFY(!b->toolTip().isEmpty());
          QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
          QCOMPARE(b->height(), 22);
          const QRect place(b->mapTo(pad, QPoint(0, 0)), b->size());
          QVERIFY2(b->parentWidget()->geometry().contains(place), b->objectName().toLatin1());
          for (const QRect& other : taken) QVERIFY(!other.intersects(place));
          taken.push_back(place);
        }
      }
      QCOMPARE(
          h.Full().Button(PanelKey::kOn)->palette().color(QPalette::Active, QPalette::ButtonText),
          QColor(0, 128, 0));
      QCOMPARE(
          h.Basic().Button(PanelKey::kOff)->palette().color(QPalette::Active, QPalette::ButtonText),
          QColor(255, 0, 0));
      QCOMPARE(h.Full().pnlLeft()->geometry(), QRect(7, 11, 242, 132));
      QCOMPARE(h.Full().pnlRight()->geometry(), QRect(260, 11, 242, 132));
      QVERIFY2(h.Full().isVisible() && !h.Basic().isVisible(), "full keypad shown at start");
      QVERIFY(h.Act("actKeypad").isChecked() && !h.Act("actJKeypad").isChecked());
    }
  }

  void arrowImagesStayWhenTheActionsChange() {
    KeyHarness h;
    for (PanelKey key : {PanelKey::kLMinus, PanelKey::kRightArrow}) {
      const QIcon icon = h.Full().Button(key)->icon();
      QVERIFY(!icon.isNull());
      const QImage disabled = icon.pixmap(16, QIcon::Disabled).toImage();
      const QImage normal = icon.pixmap(16, QIcon::Normal).toImage();
      QVERIFY2(disabled != normal, "a disabled look of its own");
      QCOMPARE(normal.pixelColor(8, 8), QColor(0, 128, 128));
      QCOMPARE(normal.pixelColor(0, 0).alpha(), 0);
    }
    h.form->EnableKeyActions();
    h.form->DisableKeyActions();
    h.form->EnableKeyActions();
    QVERIFY(!h.Full().Button(PanelKey::kLMinus)->icon().isNull());
    QVERIFY(h.Full().Button(PanelKey::kInput)->icon().isNull());
  }

  void rightClickHoldsAndLetsGoWithoutSending() {
    KeyHarness h;
    QVERIFY(h.Connect());
    KeypadButton* power = h.Full().Button(PanelKey::kPower);
    RightClick(power);
    QVERIFY(h.Full().Held().power);
    QVERIFY(power->Latched());
    RightClick(power);
    QVERIFY(!h.Full().Held().power);
    QVERIFY(!power->Latched());
    QVERIFY(h.Keys().empty());

    // Holding CAT lets POWER go; L down then combines with CAT.
    RightClick(power);
    RightClick(h.Full().Button(PanelKey::kCat));
    QVERIFY(!h.Full().Held().power);
    QVERIFY(h.Full().Held().cat);
    QTest::mouseClick(h.Full().Button(PanelKey::kLMinus), Qt::LeftButton);
    QCOMPARE(h.Keys(), (Codes{30}));

    // A left click on the held button ends the hold and sends the plain key.
    QTest::mouseClick(h.Full().Button(PanelKey::kCat), Qt::LeftButton);
    QVERIFY(!h.Full().Held().cat);
    QCOMPARE(h.Keys(), (Codes{30, 14}));
    // Right clicks on other buttons do nothing.
    RightClick(h.Full().Button(PanelKey::kSet));
    QVERIFY(!h.Full().ButtonDown(PanelKey::kSet));
    QCOMPARE(h.Keys().size(), std::size_t(2));
  }

  void rightClickHoldsNothingOffLine() {
    KeyHarness h;
    RightClick(h.Full().Button(PanelKey::kPower));
    QVERIFY(!h.Full().Held().power);
  }

  void ctrlLetterHoldsOnlyWhenCtrlIsStillDownAtRelease() {
    KeyHarness h;
    QTest::keyPress(&h.Full(), Qt::Key_P, Qt::ControlModifier);
    QVERIFY(!h.Full().ButtonDown(PanelKey::kPower));
    QTest::keyRelease(&h.Full(), Qt::Key_P, Qt::ControlModifier);
    QVERIFY(h.Full().Held().power);
    QTest::keyClick(&h.Full(), Qt::Key_P, Qt::ControlModifier);
    QVERIFY(!h.Full().Held().power);

    QTest::keyPress(&h.Full(), Qt::Key_P, Qt::ControlModifier);
    QTest::keyRelease(&h.Full(), Qt::Key_Control, Qt::NoModifier);
    QVERIFY(!h.Full().ButtonDown(PanelKey::kPower));
    QTest::keyRelease(&h.Full(), Qt::Key_P, Qt::NoModifier);
    QVERIFY(!h.Full().ButtonDown(PanelKey::kPower));
    QVERIFY(!h.Full().Held().power);
  }

  void aKeyMirroredOnDisplayEndsAPowerHold() {
    KeyHarness h;
    QVERIFY(h.Connect());
    RightClick(h.Full().Button(PanelKey::kPower));
    QTest::keyPress(h.form.get(), Qt::Key_D);
    QVERIFY(h.Full().ButtonDown(PanelKey::kDisplay));
    QVERIFY(!h.Full().Held().power);
    QTest::keyRelease(h.form.get(), Qt::Key_D);
    QCOMPARE(h.Keys(), (Codes{12}));
    const HeldKeys held = h.Full().Held();
    QVERIFY(!held.display && !held.operate && !held.power && !held.cat);
  }

  void holdsSurviveHidingTheKeypad() {
    KeyHarness h;
    QVERIFY(h.Connect());
    RightClick(h.Full().Button(PanelKey::kPower));
    h.Act("actKeypad").trigger();
    h.Act("actKeypad").trigger();
    h.Act("actJKeypad").trigger();
    QVERIFY(!h.Full().isVisible());
    QTest::keyClick(h.form.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(h.Keys(), (Codes{24}));
    QVERIFY(h.Full().Held().power);
    QVERIFY(h.Full().Button(PanelKey::kPower)->Latched());
  }

  void wheelStepsByTheLastReportedControl() {
    KeyHarness h;
    QVERIFY(h.Connect());
    FullKeypadWindow& pad = h.Full();
    Wheel(pad, -120);
    QVERIFY2(h.Keys().empty(), "no move reported yet");
    QVERIFY(pad.WheelTarget() == nullptr);

    MoveOver(pad.Button(PanelKey::kBandPlus));
    QCOMPARE(pad.WheelTarget(), pad.Button(PanelKey::kBandPlus));
    Wheel(pad, -120);
    Wheel(pad, 120);
    MoveOver(pad.Button(PanelKey::kLMinus));
    Wheel(pad, -120);
    MoveOver(pad.Button(PanelKey::kLeftArrow));
    Wheel(pad, 120);
    QCOMPARE(h.Keys(), (Codes{3, 2, 6, 15}));

    // Part notches add up to one step.
    MoveOver(pad.Button(PanelKey::kCMinus));
    Wheel(pad, -60);
    QCOMPARE(h.Keys().size(), std::size_t(4));
    Wheel(pad, -60);
    QCOMPARE(h.Keys().back(), 8);

    // TUNE does not report: the panel seen before it stays the target.
    MoveOver(pad.pnlLeft(), QPoint(3, 3));
    QCOMPARE(pad.WheelTarget(), pad.pnlLeft());
    MoveOver(pad.Button(PanelKey::kTune));
    QCOMPARE(pad.WheelTarget(), pad.pnlLeft());
    MoveOver(pad.LampLabel(Lamp::kAlarm));
    Wheel(pad, -120);
    QCOMPARE(h.Keys().size(), std::size_t(5));
    QVERIFY(!pad.Button(PanelKey::kBandPlus)->Latched());
  }

  void lampsFollowTheLampByteOnBothKeypads() {
    KeyHarness h;
    FullKeypadWindow& full = h.Full();
    BasicKeypadWindow& basic = h.Basic();
    struct Case {
      std::uint8_t lamps;
      std::vector<Lamp> lit;
      Rgb op;  // the basic keypad's OP strip
    };
    const Case cases[] = {
        {0x18, {Lamp::kOperate, Lamp::kTransmit}, kRed},
        {0x10, {Lamp::kOperate}, kYellow},
        {0xFF,
         {Lamp::kAlarm, Lamp::kTune, Lamp::kSet, Lamp::kOn, Lamp::kOperate, Lamp::kTransmit},
         kRed},
        {0x00, {}, kOlive},
    };
    for (const Case& c : cases) {
      emit h.form->LampsChanged(c.lamps);
      for (Lamp lamp :
           {Lamp::kAlarm, Lamp::kTune, Lamp::kSet, Lamp::kOn, Lamp::kOperate, Lamp::kTransmit}) {
        const bool lit = std::find(c.lit.begin(), c.lit.end(), lamp) != c.lit.end();
        const LampLook look = FullKeypadLamp(lamp, lit ? 0xFF : 0x00);
        QCOMPARE(Back(full.LampLabel(lamp)), Colour(look.back));
        QCOMPARE(Text(full.LampLabel(lamp)), lit ? QColor(0, 0, 0) : QColor(192, 192, 192));
      }
      QCOMPARE(Back(basic.Strip(Lamp::kOperate)), Colour(c.op));
    }
    emit h.form->LampsChanged(0x80);
    QCOMPARE(Back(basic.Strip(Lamp::kAlarm)), QColor(255, 0, 0));
    QCOMPARE(Back(basic.Strip(Lamp::kOn)), QColor(0, 128, 0));
    QCOMPARE(Back(basic.Strip(Lamp::kTune)), QColor(128, 128, 0));
    QCOMPARE(Back(basic.Strip(Lamp::kOperate)), QColor(128, 128, 0));
    QCOMPARE(Back(full.LampLabel(Lamp::kAlarm)), QColor(255, 0, 0));
    QCOMPARE(full.LampLabel(Lamp::kAlarm)->text(), QString("AL"));
  }

  void typedLettersClickTheButtonWithThatAccelerator() {
    KeyHarness h;
    QVERIFY(h.Connect());
    QSignalSpy band(&h.Act("actBandPlus"), &QAction::triggered);
    QTest::keyClick(&h.Full(), Qt::Key_B);
    QTRY_COMPARE(band.count(), 1);
    QSignalSpy tune(&h.Act("actTune"), &QAction::triggered);
    QTest::keyClick(&h.Full(), Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(tune.count(), 1);
    QSignalSpy right(&h.Act("actRightArrow"), &QAction::triggered);
    QTest::keyClick(&h.Full(), '+');
    QTRY_COMPARE(right.count(), 1);
    QCOMPARE(h.Keys(), (Codes{3, 9, 16}));

    // The basic keypad has no L: nothing is sent and no button moves.
    QTest::keyPress(&h.Basic(), Qt::Key_L);
    for (PanelKey key : AllPanelKeys()) QVERIFY(!h.Basic().ButtonDown(key));
    QTest::keyRelease(&h.Basic(), Qt::Key_L);
    QSignalSpy input(&h.Act("actInput"), &QAction::triggered);
    QTest::keyClick(&h.Basic(), Qt::Key_I);
    QTRY_COMPARE(input.count(), 1);

    // A disabled button is not clicked, not even once it is enabled again.
    h.form->DisableKeyActions();
    QTest::keyClick(&h.Full(), Qt::Key_A);
    h.form->EnableKeyActions();
    // Clicks come in the order typed: a second click of I, or one of A, would
    // arrive before the I typed now.
    QTest::keyClick(&h.Basic(), Qt::Key_I);
    QTRY_COMPARE(input.count(), 2);
    QCOMPARE(h.Keys(), (Codes{3, 9, 16, 1, 1}));
  }

  void fastAndRepeatedLettersEachSendOneFrameInOrder() {
    KeyHarness h;
    QVERIFY(h.Connect());
    // "lcl" typed quickly, then L held: every press and every repeat is one
    // frame, sent at once, in the order typed.
    QTest::keyClick(&h.Full(), Qt::Key_L);
    QTest::keyClick(&h.Full(), Qt::Key_C);
    QTest::keyClick(&h.Full(), Qt::Key_L);
    QCOMPARE(h.Keys(), (Codes{6, 8, 6}));
    for (int repeat = 0; repeat < 5; ++repeat) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_L, Qt::NoModifier, "l", repeat > 0);
      QApplication::sendEvent(&h.Full(), &press);
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_L, Qt::NoModifier, "l");
    QApplication::sendEvent(&h.Full(), &release);
    QCOMPARE(h.Keys(), (Codes{6, 8, 6, 6, 6, 6, 6, 6}));
  }

  void keypadSwitchesShareOnePlace() {
    KeyHarness h;
    h.Full().move(40, 300);
    h.Act("actJKeypad").trigger();
    QVERIFY(h.Basic().isVisible() && !h.Full().isVisible());
    QCOMPARE(h.Basic().pos(), QPoint(40, 300));
    h.Basic().move(90, 320);

    h.Act("actKeypad").trigger();  // Ctrl+K while the basic keypad shows
    QVERIFY(h.Full().isVisible() && !h.Basic().isVisible());
    QCOMPARE(h.Full().pos(), QPoint(90, 320));
    QVERIFY(h.Act("actKeypad").isChecked() && !h.Act("actJKeypad").isChecked());
    h.Act("actKeypad").trigger();
    QVERIFY(!h.Full().isVisible() && !h.Basic().isVisible());
    QVERIFY(!h.Act("actKeypad").isChecked() && !h.Act("actJKeypad").isChecked());
  }

  void closeButtonsHideAndUncheckPerBuild() {
    for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
      KeyHarness h(*profile);
      const bool serial = profile->link == LinkKind::kSerial;
      h.Full().move(30, 250);
      h.Basic().move(400, 400);
      h.Full().close();
      QVERIFY(!h.Full().isVisible());
      QVERIFY(!h.Act("actKeypad").isChecked());
      QCOMPARE(h.Basic().pos(), serial ? QPoint(30, 250) : QPoint(400, 400));
      QVERIFY(h.form->FullKeypad() != nullptr);

      h.Act("actJKeypad").trigger();
      h.Basic().move(70, 260);
      h.Basic().close();
      QVERIFY(!h.Basic().isVisible());
      QVERIFY(!h.Act("actJKeypad").isChecked());
      QCOMPARE(h.Full().pos(), serial ? QPoint(70, 260) : QPoint(30, 250));
    }
  }
};

QTEST_MAIN(KeypadTest)
#include "KeypadTest.moc"
