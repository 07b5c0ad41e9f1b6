// The serial program's connection settings dialogs over the main window:
// read-outs, the baud index between the two dialogs, OK and Cancel, the
// keyboard, and where the dialogs open.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedLink.h"
#include "tests/ui/ModalDriver.h"
#include "ui/BaudRateDialog.h"
#include "ui/ComPortDialog.h"
#include "ui/MainWindow.h"

using namespace amppanel;
using test::Type;
using test::WhenActive;

namespace {

std::unique_ptr<MainWindow> Form() {
  auto form = std::make_unique<MainWindow>(SerialProfile(), std::make_unique<test::ScriptedLink>());
  form->SetDialogs(std::make_unique<test::RecordingDialogs>());
  form->SetConnectionDialog(MakeComPortDialog(form.get()));
  return form;
}

ComPortDialog* ComDialog(MainWindow& form) { return form.findChild<ComPortDialog*>("dlgCom"); }

template <typename T>
T* Child(QWidget* dialog, const char* name) {
  T* child = dialog->findChild<T*>(name);
  if (child == nullptr) qFatal("no %s", name);
  return child;
}

void Click(QWidget* dialog, const char* button) {
  QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
}

QString Readout(QWidget* dialog, const char* name) { return Child<QLabel>(dialog, name)->text(); }

// Ctrl+Z typed in the main window, which the operator has brought to the
// front (the offscreen platform gives no window back the focus by itself).
void PressCtrlZ(MainWindow& form) {
  form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
}

QColor ReadoutColour(QWidget* dialog, const char* name) {
  return Child<QLabel>(dialog, name)->palette().color(QPalette::WindowText);
}

}  // namespace

class ConnectionDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { test::ModalDriverGaveUp() = false; }
  void cleanup() { QVERIFY(!test::ModalDriverGaveUp()); }

  void readoutsFollowTheScrollBars() {
    auto form = Form();
    ComPortDialog* com = ComDialog(*form);
    QVERIFY(com != nullptr);
    auto* port = Child<QScrollBar>(com, "sbSet");
    struct Case {
      int position;
      const char* text;
      QColor colour;
    };
    // 300 lies beyond the last port and shows as the last one.
    for (const Case& c :
         {Case{3, "COM3", QColor(0, 255, 0)}, Case{0, "NONE", QColor(255, 255, 0)},
          Case{256, "COM256", QColor(0, 255, 0)}, Case{300, "COM256", QColor(0, 255, 0)}}) {
      port->setValue(c.position);
      QCOMPARE(Readout(com, "stReadout"), QString::fromLatin1(c.text));
      QCOMPARE(ReadoutColour(com, "stReadout"), c.colour);
    }
    QCOMPARE(Child<QLabel>(com, "stReadout")->palette().color(QPalette::Window), QColor(Qt::black));

    auto* rate = Child<QScrollBar>(com->Advanced(), "sbIdxBaudRate");
    for (const auto& [position, text] : {std::pair{6, "115200"}, std::pair{0, "9600"},
                                         std::pair{5, "57600"}, std::pair{9, "115200"}}) {
      rate->setValue(position);
      QCOMPARE(Readout(com->Advanced(), "stReadTimeout"), QString::fromLatin1(text));
    }
  }

  void cancelDropsTheRateChosenInTheAdvancedDialog() {
    auto form = Form();
    form->Settings() = {.comPort = 4, .baudIndex = 6};
    ComPortDialog* com = ComDialog(*form);
    BaudRateDialog* adv = com->Advanced();
    QString shownAtSecondOpening;
    WhenActive(com, [&] {
      WhenActive(adv, [&] {
        Child<QScrollBar>(adv, "sbIdxBaudRate")->setValue(5);
        QCOMPARE(Readout(adv, "stReadTimeout"), QStringLiteral("57600"));
        Click(adv, "OKBtn");
      });
      Click(com, "btnAdv");
      QCOMPARE(com->IdxBaudRate(), 5);
      Child<QScrollBar>(com, "sbSet")->setValue(9);
      Click(com, "CancelBtn");
    });
    QVERIFY(!form->GetConnectionDialog()->Edit(form->Settings()));
    QCOMPARE(form->Settings().baudIndex, 6);
    QCOMPARE(form->Settings().comPort, 4);

    // The next opening starts from the settings again, in the same dialogs.
    WhenActive(com, [&] {
      QCOMPARE(Readout(com, "stReadout"), QStringLiteral("COM4"));
      WhenActive(adv, [&] {
        shownAtSecondOpening = Readout(adv, "stReadTimeout");
        Click(adv, "OKBtn");
      });
      Click(com, "btnAdv");
      Click(com, "OKBtn");
    });
    QVERIFY(form->GetConnectionDialog()->Edit(form->Settings()));
    QCOMPARE(shownAtSecondOpening, QStringLiteral("115200"));
    QCOMPARE(form->Settings().baudIndex, 6);
    QCOMPARE(form->findChildren<ComPortDialog*>().size(), 1);
    QVERIFY(!com->isVisible());
  }

  void keyboardOnlyChoosesThePortAndTheRate() {
    auto form = Form();
    form->show();
    QCOMPARE(form->Action("actConfigureConnection")->shortcut(), QKeySequence("Ctrl+Z"));
    ComPortDialog* com = ComDialog(*form);
    int opened = 0;

    // The scroll bar has the focus and OK is the default button.
    WhenActive(com, [&opened] {
      ++opened;
      Type(Qt::Key_Right);
      Type(Qt::Key_Right);
      Type(Qt::Key_Right);
      Type(Qt::Key_Return);
    });
    PressCtrlZ(*form);
    QCOMPARE(opened, 1);
    QCOMPARE(form->Settings().comPort, 3);
    QCOMPARE(form->StatusPanel(4)->text(), QStringLiteral("Port: COM3"));

    // Escape leaves everything as it was.
    WhenActive(com, [&opened] {
      ++opened;
      Type(Qt::Key_PageDown);
      Type(Qt::Key_Escape);
    });
    PressCtrlZ(*form);
    QCOMPARE(opened, 2);
    QCOMPARE(form->Settings().comPort, 3);

    // The accelerators: Alt+A opens the advanced dialog, Alt+B takes its
    // scroll bar back from OK, Alt+C the port's from the button.
    BaudRateDialog* adv = com->Advanced();
    WhenActive(com, [com, adv, &opened] {
      WhenActive(adv, [com, &opened] {
        ++opened;
        Type(Qt::Key_Tab);
        Type(Qt::Key_B, Qt::AltModifier);
        Type(Qt::Key_Left);
        Type(Qt::Key_Return);
        WhenActive(com, [&opened] {
          ++opened;
          Type(Qt::Key_C, Qt::AltModifier);
          Type(Qt::Key_PageDown);
          Type(Qt::Key_Return);
        });
      });
      Type(Qt::Key_A, Qt::AltModifier);
    });
    PressCtrlZ(*form);
    QCOMPARE(opened, 4);
    QCOMPARE(form->Settings().baudIndex, 5);
    QCOMPARE(form->Settings().comPort, 19);
    QCOMPARE(form->StatusPanel(5)->text(), QStringLiteral("Baud Rate: 57600"));
  }

  void opensBelowTheMainWindowAndTheAdvancedDialogAtItsCentre() {
    auto form = Form();
    form->move(100, 200);
    form->show();
    ComPortDialog* com = ComDialog(*form);
    BaudRateDialog* adv = com->Advanced();
    QPoint comAt;
    QPoint advAt;
    QRect comFrame;
    WhenActive(com, [&] {
      comAt = com->pos();
      comFrame = com->frameGeometry();
      WhenActive(adv, [&] {
        advAt = adv->pos();
        Type(Qt::Key_Escape);
        WhenActive(com, [] { Type(Qt::Key_Escape); });
      });
      Click(com, "btnAdv");
    });
    form->ConfigureConnection();
    QCOMPARE(comAt, form->pos() + QPoint(8, 50));
    QCOMPARE(advAt, comFrame.topLeft() + QPoint(comFrame.width() / 2, comFrame.height() / 2));
    QCOMPARE(com->windowTitle(), QStringLiteral("AmpPanel_232: Virtual Com Port "));
  }
};

QTEST_MAIN(ConnectionDialogTest)
#include "ConnectionDialogTest.moc"
