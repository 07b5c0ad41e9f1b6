// The USB connection dialog offscreen, opened as the main window opens it
// (modal, through Edit), with the attached devices given by the test.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "core/BuildProfile.h"
#include "tests/support/RecordingDialogs.h"
#include "ui/UsbPreferencesDialog.h"

using namespace amppanel;

namespace {

UsbDeviceList Devices(std::uint32_t count, int detailStatus = 0, std::uint32_t flags = 0) {
  UsbDeviceList list;
  list.count = count;
  for (std::uint32_t i = 0; i < count; ++i) {
    list.devices.push_back({.status = detailStatus, .flags = flags, .idString = "KALDOR01"});
  }
  return list;
}

struct Harness {
  explicit Harness(UsbDeviceList attached = Devices(1))
      : devices(std::move(attached)), dialog(UsbProfile(), nullptr, [this] {
          ++listings;
          return devices;
        }) {
    auto recorder = std::make_unique<test::RecordingDialogs>();
    boxes = recorder.get();
    dialog.SetDialogs(std::move(recorder));
  }

  QLabel* Readout() { return dialog.findChild<QLabel*>("stID"); }
  QCheckBox* Check() { return dialog.findChild<QCheckBox*>("cbID"); }
  QPushButton* Button(const char* name) { return dialog.findChild<QPushButton*>(name); }
  bool StruckThrough() {
    const QFont f = Readout()->font();
    return f.italic() && f.strikeOut();
  }

  // Opens the dialog on `settings`; `operate` runs while it is on screen and
  // must end by closing it (every check it makes is kept for after).
  bool Edit(LinkSettings& settings, const std::function<void()>& operate) {
    QTimer::singleShot(0, &dialog, operate);
    return dialog.Edit(settings);
  }

  UsbDeviceList devices;
  int listings = 0;
  UsbPreferencesDialog dialog;
  test::RecordingDialogs* boxes = nullptr;
};

}  // namespace

class UsbPreferencesDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAsTheOperatorKnowsIt() {
    Harness h;
    QCOMPARE(h.dialog.objectName(), QString("dlgPreferences"));
    QCOMPARE(h.dialog.windowTitle(), QString("AmpPanel_USB: Configure connection"));
    QCOMPARE(h.dialog.size(), QSize(313, 158));
    struct Control {
      const char* name;
      QRect place;
      const char* text;
    };
    for (const Control& c : {Control{"stID", {20, 35, 129, 17}, ""},
                             Control{"cbID", {168, 35, 128, 17}, "&Enable ID Addressing"},
                             Control{"btnAcquire", {20, 73, 129, 25}, "&Acquire ID string"},
                             Control{"OKBtn", {79, 124, 75, 25}, "OK"},
                             Control{"CancelBtn", {159, 124, 75, 25}, "Cancel"}}) {
      auto* w = h.dialog.findChild<QWidget*>(c.name);
      QVERIFY2(w != nullptr, c.name);
      QCOMPARE(w->geometry(), c.place);
      const QVariant text = w->property("text");
      QCOMPARE(text.toString(), QString(c.text));
    }
    QVERIFY(h.Button("OKBtn")->isDefault());
    QVERIFY(!h.Button("btnAcquire")->isDefault());

    // Centred on the screen, the OK button focused, Escape cancels.
    LinkSettings s;
    QPoint centre;
    QWidget* focused = nullptr;
    const bool ok = h.Edit(s, [&] {
      centre = h.dialog.frameGeometry().center();
      focused = h.dialog.focusWidget();
      QTest::keyClick(&h.dialog, Qt::Key_Escape);
    });
    QVERIFY(!ok);
    // Within the window decoration, which is not known before the first show.
    QVERIFY((centre - QGuiApplication::primaryScreen()->availableGeometry().center())
                .manhattanLength() <= 8);
    QCOMPARE(focused, static_cast<QWidget*>(h.Button("OKBtn")));
  }

  void theReadoutIsStruckThroughWhileAddressingIsOff() {
    Harness h;
    LinkSettings s{.usbIdString = "KALDOR01", .usbIdEnabled = false};
    bool struckOnOpening = false, struckWhenTicked = true, struckWhenCleared = false;
    QString shown;
    const bool ok = h.Edit(s, [&] {
      shown = h.Readout()->text();
      struckOnOpening = h.StruckThrough();
      h.Check()->click();
      struckWhenTicked = h.StruckThrough();
      h.Check()->click();
      struckWhenCleared = h.StruckThrough();
      h.Check()->click();
      h.Button("OKBtn")->click();
    });
    QVERIFY(ok);
    QCOMPARE(shown, QString("KALDOR01"));
    QVERIFY(struckOnOpening);
    QVERIFY(!struckWhenTicked);
    QVERIFY(struckWhenCleared);
    QCOMPARE(s.usbIdString, std::string("KALDOR01"));
    QVERIFY(s.usbIdEnabled);
  }

  void tickingWithoutAStringClearsAtOnceAndOkStoresItOff() {
    Harness h;
    // A settings file edited by hand: addressing on, no string. Opening the
    // dialog shows it as stored; OK still never stores it.
    LinkSettings s{.usbIdString = "", .usbIdEnabled = true};
    bool checkedOnOpening = false, checkedAfterTick = true;
    const bool ok = h.Edit(s, [&] {
      checkedOnOpening = h.Check()->isChecked();
      h.Check()->click();  // clears
      h.Check()->click();  // ticks: cleared again at once
      checkedAfterTick = h.Check()->isChecked();
      h.Button("OKBtn")->click();
    });
    QVERIFY(ok);
    QVERIFY(checkedOnOpening);
    QVERIFY(!checkedAfterTick);
    QVERIFY(!s.usbIdEnabled);
    QVERIFY(s.usbIdString.empty());

    // Untouched, OK turns it off as well.
    LinkSettings untouched{.usbIdEnabled = true};
    QVERIFY(h.Edit(untouched, [&] { h.Button("OKBtn")->click(); }));
    QVERIFY(!untouched.usbIdEnabled);
  }

  void cancelAfterASuccessfulAcquireRestoresWhatWasShown() {
    Harness h;
    LinkSettings s{.comPort = 0, .baudIndex = 6, .usbIdString = "OLD", .usbIdEnabled = false};
    QString during;
    bool checkedDuring = false, struckDuring = true;
    const bool ok = h.Edit(s, [&] {
      h.Button("btnAcquire")->click();
      during = h.Readout()->text();
      checkedDuring = h.Check()->isChecked();
      struckDuring = h.StruckThrough();
      h.Button("CancelBtn")->click();
    });
    QVERIFY(!ok);
    QCOMPARE(during, QString("KALDOR01"));
    QVERIFY(checkedDuring);
    QVERIFY(!struckDuring);
    QCOMPARE(h.boxes->Shown(),
             std::vector<std::string>{"info: USB_ID string [KALDOR01] has been\ncorrectly "
                                      "acquired thru the USB data-link."});
    QCOMPARE(s.usbIdString, std::string("OLD"));
    QVERIFY(!s.usbIdEnabled);

    // The next opening shows the stored choice again, not the dropped one.
    QString reopened;
    bool checkedReopened = true;
    QVERIFY(!h.Edit(s, [&] {
      reopened = h.Readout()->text();
      checkedReopened = h.Check()->isChecked();
      h.Button("CancelBtn")->click();
    }));
    QCOMPARE(reopened, QString("OLD"));
    QVERIFY(!checkedReopened);

    // OK after an Acquire stores the acquired string, switched on.
    QVERIFY(h.Edit(s, [&] {
      h.Button("btnAcquire")->click();
      h.Button("OKBtn")->click();
    }));
    QCOMPARE(s.usbIdString, std::string("KALDOR01"));
    QVERIFY(s.usbIdEnabled);
  }

  void aFailedAcquireShowsItsErrorBoxAndChangesNothing_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("detailStatus");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("no device") << 0 << 0 << 0 << "There is no USB device linked to the system.";
    QTest::newRow("two devices") << 2 << 0 << 0
                                 << "There is more than 1 USB device linked to the system.";
    QTest::newRow("detail fails") << 1 << 4 << 0
                                  << "Data acquisition error thru the USB data-link.";
    QTest::newRow("opened elsewhere")
        << 1 << 0 << 1 << "Data acquisition error thru the USB data-link.";
  }
  void aFailedAcquireShowsItsErrorBoxAndChangesNothing() {
    QFETCH(int, count);
    QFETCH(int, detailStatus);
    QFETCH(int, flags);
    QFETCH(QString, firstLine);
    Harness h(Devices(static_cast<std::uint32_t>(count), detailStatus,
                      static_cast<std::uint32_t>(flags)));
    LinkSettings s{.usbIdString = "OLD", .usbIdEnabled = true};
    QString shown;
    bool checked = false;
    const bool ok = h.Edit(s, [&] {
      h.Button("btnAcquire")->click();
      shown = h.Readout()->text();
      checked = h.Check()->isChecked();
      h.Button("OKBtn")->click();
    });
    QVERIFY(ok);
    QCOMPARE(h.listings, 1);
    QCOMPARE(shown, QString("OLD"));
    QVERIFY(checked);
    const auto boxes = h.boxes->Shown();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY2(QString::fromStdString(boxes[0]).startsWith("error: " + firstLine + "\n"),
             boxes[0].c_str());
    QCOMPARE(s.usbIdString, std::string("OLD"));
    QVERIFY(s.usbIdEnabled);
  }
};

QTEST_MAIN(UsbPreferencesDialogTest)
#include "UsbPreferencesDialogTest.moc"
