// AmpPanel_USB's main window with the real USB link, which loads the stand-in
// D2XX library as the program loads the vendor's, with the virtual amplifier
// behind the device. What reached the driver is read back from its call log.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "link/usb/UsbLink.h"
#include "sim/AmpEngine.h"
#include "sim/AmpSimOptions.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/StandInD2xx.h"
#include "tests/ui/DisplayChecks.h"
#include "ui/MainWindow.h"
#include "ui/UsbPreferencesDialog.h"

using namespace amppanel;
using test::StandInCall;
using test::StandInSession;

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The amplifier's twin: built as the stand-in builds the one behind its
// device, and given the same keys, it shows what the window must show.
class Twin {
 public:
  explicit Twin(const std::vector<std::string>& ampsimArgs = {"--boot-ms", "0"}) {
    AmpSimConfig config;
    std::string error;
    ParseAmpSimArgs(ampsimArgs, config, error);
    engine_ = std::make_unique<AmpEngine>(EngineOptionsFor(config));
    ApplyScenario(config, *engine_);
  }
  void PressKey(std::uint8_t code) { engine_->PressKey(code); }

  bool IsShownBy(const DisplayImage& shown) const {
    return test::ShowsTheAmplifiersDisplay(shown, *engine_, UsbProfile());
  }

 private:
  std::unique_ptr<AmpEngine> engine_;
};

// The window as the program makes it: the USB profile, a real UsbLink.
struct UsbPanel {
  explicit UsbPanel(Clock& clock, bool recordBoxes = true)
      : form(UsbProfile(), std::make_unique<UsbLink>(UsbProfile()), clock) {
    if (recordBoxes) {
      auto recorder = std::make_unique<test::RecordingDialogs>();
      boxes = recorder.get();
      form.SetDialogs(std::move(recorder));
    }
  }
  QString Panel(int n) const { return form.StatusPanel(n)->text(); }

  MainWindow form;
  test::RecordingDialogs* boxes = nullptr;
};

// Position of the first FT_ call named `name` at or after `from` in `calls`.
std::size_t Find(const std::vector<StandInCall>& calls, const std::string& name,
                 std::size_t from = 0) {
  for (std::size_t i = from; i < calls.size(); ++i) {
    if (calls[i].name == name) return i;
  }
  return calls.size();
}

// The driver calls alone, without the amplifier's frame lines.
std::vector<StandInCall> DriverCalls(const StandInSession& standIn) {
  std::vector<StandInCall> calls = standIn.Log();
  std::erase_if(calls, [](const StandInCall& c) { return c.name.rfind("FT_", 0) != 0; });
  return calls;
}

bool AmplifierGot(const StandInSession& standIn, const std::string& frame) {
  for (const StandInCall& c : standIn.CallsOf("engine")) {
    if (Contains(c.text, frame)) return true;
  }
  return false;
}

}  // namespace

class UsbEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void aWholeSessionThroughTheStandInDriver() {
    StandInSession standIn;
    // The waits around the connect key are measured in the driver's log, and
    // a scaled clock would shrink what is measured: they run for real here.
    UsbPanel p(RealClock());
    Twin twin;
    twin.PressKey(key::kCancel);  // the key sent on connecting: "PC" shows
    QSignalSpy lamps(&p.form, &MainWindow::LampsChanged);
    QCOMPARE(p.form.findChildren<QLabel*>(QRegularExpression("^StatusPanel")).size(), 6);

    p.form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(p.form.OnLine(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(twin.IsShownBy(*p.form.Image()), 10000);
    QVERIFY(!lamps.isEmpty());
    QVERIFY(lamps.last().at(0).value<std::uint8_t>() & lamp::kOn);
    QCOMPARE(p.Panel(0), QString("ON-LINE"));
    QCOMPARE(p.Panel(4), QString("USB_ID: Not enabled"));

    // Opened by index, configured, lines at rest; then the connect key 1100 ms
    // later and the first query 1100 ms after that, both with five sync bytes.
    const auto calls = DriverCalls(standIn);
    const std::vector<std::string> opening{"FT_Open",
                                           "FT_SetResetPipeRetryCount",
                                           "FT_ResetDevice",
                                           "FT_SetBaudRate",
                                           "FT_SetDataCharacteristics",
                                           "FT_SetFlowControl",
                                           "FT_SetTimeouts",
                                           "FT_SetDtr",
                                           "FT_ClrRts",
                                           "FT_Write"};
    QVERIFY(calls.size() > opening.size());
    for (std::size_t i = 0; i < opening.size(); ++i) QCOMPARE(calls[i].name, opening[i]);
    QVERIFY2(Contains(calls[0].text, "FT_Open(0)"), calls[0].text.c_str());
    QVERIFY2(Contains(calls[9].text, "55 55 55 55 55 01 65 65, 8) = 0 [8]"), calls[9].text.c_str());
    const std::size_t query = Find(calls, "FT_Write", 10);
    QVERIFY(query < calls.size());
    QVERIFY2(Contains(calls[query].text, "55 55 55 55 55 01 80 80, 8)"), calls[query].text.c_str());
    for (std::size_t i = 10; i < query; ++i) QCOMPARE(calls[i].name, std::string("FT_Purge"));
    const double keyWait = calls[9].ms - calls[8].ms;
    const double queryWait = calls[query].ms - calls[9].ms;
    QVERIFY2(keyWait >= 1099 && keyWait < 2000, std::to_string(keyWait).c_str());
    QVERIFY2(queryWait >= 1099 && queryWait < 2000, std::to_string(queryWait).c_str());
    QVERIFY(AmplifierGot(standIn, "sync 5: key 101"));
    QVERIFY(AmplifierGot(standIn, "sync 5: display query"));

    // A key from the window reaches the amplifier and shows in the window.
    p.form.Action("actBandPlus")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AmplifierGot(standIn, "sync 5: key 3"), 5000);
    twin.PressKey(key::kBandUp);
    QTRY_VERIFY_WITH_TIMEOUT(twin.IsShownBy(*p.form.Image()), 5000);

    p.form.Disconnect();
    QVERIFY(!p.form.OnLine());
    QVERIFY(test::AllPixelsAre(*p.form.Image(), kOffLineBackground));
    QCOMPARE(DriverCalls(standIn).back().name, std::string("FT_Close"));
    QVERIFY(p.boxes->Shown().empty());
  }

  void theOnPulseHoldsTheLinesASecondWithNoQueryBetween() {
    StandInSession standIn;
    // The pulse's second is measured in the driver's log: real time.
    UsbPanel p(RealClock());
    p.form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(p.form.Polling(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(AmplifierGot(standIn, "display query"), 5000);

    p.form.Action("actOn")->trigger();
    // Polling is back once a query follows the rest pair.
    const auto pollingAgain = [&standIn] {
      const auto calls = DriverCalls(standIn);
      const std::size_t rest = Find(calls, "FT_ClrRts", Find(calls, "FT_ClrDtr"));
      return Find(calls, "FT_Write", rest) < calls.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(pollingAgain(), 5000);

    const auto calls = DriverCalls(standIn);
    const std::size_t pulse = Find(calls, "FT_ClrDtr");
    QVERIFY(pulse + 4 < calls.size());
    QCOMPARE(calls[pulse + 1].name, std::string("FT_SetRts"));
    QCOMPARE(calls[pulse + 2].name, std::string("FT_SetDtr"));
    QCOMPARE(calls[pulse + 3].name, std::string("FT_ClrRts"));
    const double held = calls[pulse + 2].ms - calls[pulse + 1].ms;
    QVERIFY2(held >= 999 && held < 1800, std::to_string(held).c_str());
    QCOMPARE(Find(calls, "FT_ClrDtr", pulse + 1), calls.size());  // one pulse
    QVERIFY(p.form.OnLine());
    QVERIFY(p.boxes->Shown().empty());
    p.form.Disconnect();
  }

  void aDriverFailureWhilePollingResetsTheDeviceAndDisconnects() {
    // The line is cut after the connect key and two queries.
    StandInSession standIn({.cutAfter = 3});
    SteadyClock clock(10);
    UsbPanel p(clock, false);  // the program's own error box

    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer catcher;
    catcher.setInterval(20);
    QObject::connect(&catcher, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    catcher.start();

    p.form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(!title.isEmpty(), 10000);
    catcher.stop();
    QCOMPARE(title, QString("AmpPanel_USB"));
    QCOMPARE(icon, QMessageBox::Critical);
    QVERIFY2(text.startsWith("FATAL ERROR ON USB LINK...  #["), qPrintable(text));
    QVERIFY(!p.form.OnLine());
    QVERIFY(!p.form.Polling());
    QVERIFY(p.form.Action("actOpen")->isEnabled());
    QVERIFY(test::AllPixelsAre(*p.form.Image(), kOffLineBackground));

    // The device is reset after the failing call and before it is closed.
    const auto calls = DriverCalls(standIn);
    const auto failed = std::find_if(
        calls.begin(), calls.end(), [](const StandInCall& c) { return Contains(c.text, ") = 4"); });
    QVERIFY(failed != calls.end());
    const std::size_t cycle = Find(calls, "FT_CyclePort");
    QVERIFY(cycle > static_cast<std::size_t>(failed - calls.begin()));
    QVERIFY(cycle < calls.size());
    QCOMPARE(calls[cycle + 1].name, std::string("FT_Close"));
    QCOMPARE(cycle + 2, calls.size());
  }

  void theDialogsChoiceOpensTheDeviceByItsIdString() {
    StandInSession standIn({.devices = "KALDOR07"});
    SteadyClock clock(10);
    UsbPanel p(clock);
    auto owned = std::make_unique<UsbPreferencesDialog>(p.form.Profile(), &p.form);
    UsbPreferencesDialog* dialog = owned.get();
    auto recorder = std::make_unique<test::RecordingDialogs>();
    test::RecordingDialogs* dialogBoxes = recorder.get();
    dialog->SetDialogs(std::move(recorder));
    p.form.SetConnectionDialog(std::move(owned));
    QCOMPARE(p.form.Action("actConfigureConnection")->text(),
             QString("&Configure USB connection..."));

    QTimer::singleShot(0, dialog, [dialog] {
      dialog->findChild<QPushButton*>("btnAcquire")->click();
      dialog->findChild<QPushButton*>("OKBtn")->click();
    });
    p.form.Action("actConfigureConnection")->trigger();
    QCOMPARE(dialogBoxes->Shown().size(), std::size_t(1));
    QCOMPARE(p.form.Settings().usbIdString, std::string("KALDOR07"));
    QVERIFY(p.form.Settings().usbIdEnabled);
    QCOMPARE(p.Panel(4), QString("USB_ID: [KALDOR07]"));

    p.form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(p.form.Polling(), 10000);
    const auto opens = standIn.CallsOf("FT_OpenEx");
    QCOMPARE(opens.size(), std::size_t(1));
    QVERIFY2(Contains(opens[0].text, "FT_OpenEx(\"KALDOR07\", 1)"), opens[0].text.c_str());
    p.form.Disconnect();
    QVERIFY(p.boxes->Shown().empty());
  }

  void acquireAsksTheDriver_data() {
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QString>("fail");
    QTest::addColumn<QString>("box");
    QTest::newRow("none") << "none"
                          << ""
                          << "error: There is no USB device linked to the system.";
    QTest::newRow("two") << "KALDOR01,KALDOR02"
                         << ""
                         << "error: There is more than 1 USB device linked to the system.";
    QTest::newRow("opened elsewhere") << "KALDOR01:1"
                                      << ""
                                      << "error: Data acquisition error thru the USB data-link.";
    QTest::newRow("detail fails") << "KALDOR01"
                                  << "FT_GetDeviceInfoDetail:1:4"
                                  << "error: Data acquisition error thru the USB data-link.";
    QTest::newRow("count fails") << "KALDOR01"
                                 << "FT_CreateDeviceInfoList:*:4"
                                 << "error: There is no USB device linked to the system.";
    QTest::newRow("one") << "KALDOR01"
                         << ""
                         << "info: USB_ID string [KALDOR01] has been";
  }
  void acquireAsksTheDriver() {
    QFETCH(QString, devices);
    QFETCH(QString, fail);
    QFETCH(QString, box);
    StandInSession standIn({.devices = devices.toStdString(), .fail = fail.toStdString()});
    UsbPreferencesDialog dialog(UsbProfile(), nullptr);
    auto recorder = std::make_unique<test::RecordingDialogs>();
    test::RecordingDialogs* boxes = recorder.get();
    dialog.SetDialogs(std::move(recorder));
    LinkSettings settings;
    QTimer::singleShot(0, &dialog, [&dialog] {
      dialog.findChild<QPushButton*>("btnAcquire")->click();
      dialog.findChild<QPushButton*>("CancelBtn")->click();
    });
    QVERIFY(!dialog.Edit(settings));
    const auto shown = boxes->Shown();
    QCOMPARE(shown.size(), std::size_t(1));
    QVERIFY2(shown[0].rfind(box.toStdString() + "\n", 0) == 0, shown[0].c_str());
  }
};

QTEST_MAIN(UsbEndToEndTest)
#include "UsbEndToEndTest.moc"
