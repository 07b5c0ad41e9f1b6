// Status bar, hint, Freeze and the still image, offscreen.
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "protocol/Frames.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedLink.h"
#include "tests/ui/FreezeAtRest.h"
#include "ui/DisplayView.h"
#include "ui/MainWindow.h"

using namespace amppanel;
using test::Bytes;

namespace {

struct Harness {
  explicit Harness(const BuildProfile& profile = SerialProfile()) {
    auto owned = std::make_unique<test::ScriptedLink>();
    link = owned.get();
    link->responder = [this](const Bytes& written) {
      if (written.size() >= 2 && written[written.size() - 2] == kQueryCode) {
        Bytes data(kDisplayDataSize, 0);
        data[0] = letter.load();
        return DisplayReply(replyType.load(), 0xF8, data);
      }
      return Bytes{};
    };
    form = std::make_unique<MainWindow>(profile, std::move(owned), clock);
    auto recorder = std::make_unique<test::RecordingDialogs>();
    dialogs = recorder.get();
    form->SetDialogs(std::move(recorder));
  }
  QString Panel(int n) const { return form->StatusPanel(n)->text(); }
  void Connect() {
    form->Settings().comPort = 4;
    form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(form->Image()->Pixel(4, 2) == kDotColour, 5000);
  }
  // The drawn display area gets exactly this size.
  void SizeDisplay(int width, int height) {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // Small sizes are below the window's minimum with this platform's chrome.
    form->setMinimumSize(1, 1);
    for (int attempt = 0; attempt < 3 && form->View()->size() != QSize(width, height); ++attempt) {
      form->resize(form->size() + QSize(width, height) - form->View()->size());
      // Laid out again at once, unless this platform's chrome took its share:
      // then the next round corrects by what is missing.
      (void)QTest::qWaitFor([&] { return form->View()->size() == QSize(width, height); }, 1000);
    }
    QCOMPARE(form->View()->size(), QSize(width, height));
  }

  SteadyClock clock{20};
  test::ScriptedLink* link = nullptr;
  test::RecordingDialogs* dialogs = nullptr;
  std::unique_ptr<MainWindow> form;
  std::atomic<std::uint8_t> letter{33};  // 'A'
  std::atomic<std::uint8_t> replyType{kDisplayReplyType};
};

}  // namespace

class StatusTest : public QObject {
  Q_OBJECT

 private slots:
  void panelsFollowEveryPaintOfTheWindow() {
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    QCOMPARE(h.Panel(4), QString("Port: NONE"));
    // Changed behind the window's back, with nothing else to tell it: the
    // next paint of the window brings the panels up to date.
    h.form->Settings().comPort = 7;
    h.form->repaint();
    QCOMPARE(h.Panel(4), QString("Port: COM7"));
  }

  void serialPanelsShowSizePortAndState() {
    Harness h;
    QCOMPARE(h.form->findChildren<QLabel*>(QRegularExpression("^StatusPanel")).size(), 8);
    QCOMPARE(h.form->StatusPanel(0)->width(), 60);
    QCOMPARE(h.form->StatusPanel(5)->width(), 110);
    QCOMPARE(h.form->StatusPanel(7)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    // A narrow window cuts the row off at its edge; it never pushes the panels
    // into each other.
    h.form->resize(263, 146);
    QCoreApplication::processEvents();
    for (int n = 1; n < 8; ++n) {
      QVERIFY(h.form->StatusPanel(n)->x() > h.form->StatusPanel(n - 1)->geometry().right());
    }
    QCOMPARE(h.form->StatusPanel(4)->width(), 100);

    h.SizeDisplay(495, 100);
    h.form->RefreshWindowState();
    QCOMPARE(h.Panel(2), QString("W:  496"));
    QCOMPARE(h.Panel(3), QString("H:  101"));
    QCOMPARE(h.form->toolTip(), QString("W:  496; H:  101"));
    QCOMPARE(h.Panel(0), QString("OFF-LINE"));
    QCOMPARE(h.Panel(1), QString("F3"));

    h.form->Settings().comPort = 5;
    h.form->Settings().baudIndex = 4;
    h.form->RefreshWindowState();
    QCOMPARE(h.Panel(4), QString("Port: COM5"));
    QCOMPARE(h.Panel(5), QString("Baud Rate: 38400"));
    QCOMPARE(h.Panel(6), QString("8, 1, N"));
    h.form->Settings().comPort = 0;
    h.form->RefreshWindowState();
    QCOMPARE(h.Panel(4), QString("Port: NONE"));
    QCOMPARE(h.Panel(5), QString());
    QCOMPARE(h.Panel(6), QString("8, 1, N"));  // left as it was
    QCOMPARE(h.Panel(7), QString());
  }

  void onLineShowsAtOnceEvenWhenEveryReplyIsDropped() {
    // An amplifier that answers garbage: no reply is ever accepted, yet the
    // link is up and the operator must see it.
    Harness h;
    h.replyType = 0x02;
    h.form->Settings().comPort = 4;
    h.form->Connect();
    QTRY_VERIFY_WITH_TIMEOUT(h.form->Polling(), 5000);
    QCOMPARE(h.Panel(0), QString("ON-LINE"));
    QTRY_VERIFY(h.link->Writes().size() > 3);
    QCOMPARE(h.Panel(0), QString("ON-LINE"));
  }

  void panelsStayUnderTheMenusTheirTextsFitAndTheBarsKeepTheirColours() {
    for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
      Harness h(*profile);
      const bool serial = profile == &SerialProfile();
      // Every text a panel shows fits it at the font the panels use.
      const QFontMetrics metrics(h.form->StatusPanel(0)->font());
      const std::vector<std::pair<int, QString>> texts{
          {0, "STILL IMAGE"}, {0, "OFF-LINE"}, {0, "ON-LINE"}, {0, "NO LINK"},
          {1, "F5"},          {2, "W: 1600"},  {3, "H: 1000"}};
      for (const auto& [panel, text] : texts) {
        QVERIFY2(
            metrics.horizontalAdvance(text) <= h.form->StatusPanel(panel)->contentsRect().width(),
            qPrintable(text));
      }
      if (serial) {
        QVERIFY(metrics.horizontalAdvance("Baud Rate: 115200") <=
                h.form->StatusPanel(5)->contentsRect().width());
      }
      // A menu entry under the mouse leaves the panels alone.
      h.form->show();
      QStatusTipEvent tip(QStringLiteral("&Connect"));
      QApplication::sendEvent(h.form.get(), &tip);
      QVERIFY(h.form->statusBar()->currentMessage().isEmpty());
      QVERIFY(h.form->StatusPanel(0)->isVisible());
      // On-line, only the area behind the display takes its colour.
      h.Connect();
      const QColor online(profile->onLineBackground.r, profile->onLineBackground.g,
                          profile->onLineBackground.b);
      QCOMPARE(h.form->centralWidget()->palette().color(QPalette::Window), online);
      QVERIFY(h.form->menuBar()->palette().color(QPalette::Window) != online);
      QVERIFY(h.form->statusBar()->palette().color(QPalette::Window) != online);
    }
  }

  void usbPanelsShowTheDeviceId() {
    Harness h(UsbProfile());
    QCOMPARE(h.form->findChildren<QLabel*>(QRegularExpression("^StatusPanel")).size(), 6);
    QCOMPARE(h.form->StatusPanel(0)->width(), 70);
    h.form->RefreshWindowState();
    QCOMPARE(h.Panel(4), QString("USB_ID: Not enabled"));
    h.form->Settings().usbIdString = "AMP 12";
    h.form->Settings().usbIdEnabled = true;
    h.form->RefreshWindowState();
    QCOMPARE(h.Panel(4), QString("USB_ID: [AMP 12]"));
    QCOMPARE(h.Panel(5), QString());
  }

  void frozenImageIsSavedExactlyWhateverTheWindowSize() {
    Harness h;
    QVERIFY(!h.form->Action("actFreeze")->isEnabled());
    h.Connect();
    QCOMPARE(h.Panel(0), QString("ON-LINE"));
    QVERIFY(h.form->Action("actFreeze")->isEnabled());
    QVERIFY(!h.form->Action("actSave")->isEnabled());

    QVERIFY(test::FreezeRightAfterADrawing(*h.form));
    QCOMPARE(h.Panel(0), QString("STILL IMAGE"));
    QVERIFY(h.form->Action("actSave")->isEnabled());
    // The amplifier's display changes; the held image does not. Frozen at
    // rest, nothing is pending: the wait is the time a broken freeze (polling
    // every 4 ms) gets to show, and cannot fail a sound one.
    const std::size_t writes = h.link->Writes().size();
    h.letter = 0;
    QTest::qWait(100);
    QCOMPARE(h.link->Writes().size(), writes);
    QVERIFY(h.form->Image()->Pixel(4, 2) == kDotColour);

    h.SizeDisplay(777, 333);
    QTemporaryDir dir;
    h.dialogs->fileToGive = dir.filePath("still.bmp").toStdString();
    h.form->Action("actSave")->trigger();
    QCOMPARE(h.dialogs->Shown().back(), std::string("save: Save STILL IMAGE as"));
    QFile file(dir.filePath("still.bmp"));
    QCOMPARE(file.size(), qint64(49830));
    const QImage saved(dir.filePath("still.bmp"));
    QCOMPARE(saved.size(), QSize(244, 68));
    const DisplayImage& image = *h.form->Image();
    for (int y = 0; y < 68; ++y) {
      for (int x = 0; x < 244; ++x) {
        const Rgb p = image.Pixel(x, y);
        QCOMPARE(saved.pixelColor(x, y), QColor(p.r, p.g, p.b));
      }
    }
    const Rgb on = SerialProfile().onLineBackground;
    QCOMPARE(saved.pixelColor(0, 0), QColor(on.r, on.g, on.b));

    // Failures are shown and change nothing else.
    h.dialogs->fileToGive = dir.filePath("no/such/folder/x.bmp").toStdString();
    h.form->Action("actSave")->trigger();
    QCOMPARE(h.dialogs->Shown().back(), "error: Cannot create file " + *h.dialogs->fileToGive);
    QVERIFY(h.form->Action("actFreeze")->isChecked());
    QCOMPARE(h.Panel(0), QString("STILL IMAGE"));

    // Thawed, the amplifier's new display comes through.
    h.form->Action("actFreeze")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(h.form->Image()->Pixel(4, 2) != kDotColour, 5000);
    QCOMPARE(h.Panel(0), QString("ON-LINE"));
    QVERIFY(!h.form->Action("actSave")->isEnabled());
  }

  void disconnectWhileFrozenEndsOffLine() {
    Harness h;
    h.Connect();
    h.form->Action("actFreeze")->trigger();
    h.form->Disconnect();
    QVERIFY(!h.form->Polling());
    QVERIFY(!h.form->Action("actFreeze")->isEnabled());
    QCOMPARE(h.Panel(0), QString("OFF-LINE"));
    // Connecting again starts thawed.
    h.Connect();
    QVERIFY(!h.form->Action("actFreeze")->isChecked());
    QCOMPARE(h.Panel(0), QString("ON-LINE"));
  }
};

QTEST_MAIN(StatusTest)
#include "StatusTest.moc"
