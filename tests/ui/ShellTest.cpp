// The main window's shell offscreen: settings at start and close, size
// presets, Home and Park, menus, the about box and the settings file.
#include <sys/stat.h>

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "platform/QtSettingsStore.h"
#include "tests/support/ScriptedLink.h"
#include "ui/AboutBox.h"
#include "ui/BasicKeypadWindow.h"
#include "ui/FullKeypadWindow.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindow.h"

using namespace amppanel;

namespace {

// Lets several windows in a row share one store, as runs of the program do.
class SharedStore final : public SettingsStore {
 public:
  explicit SharedStore(MemorySettingsStore& store) : store_(store) {}
  bool Exists(const std::string& n) override { return store_.Exists(n); }
  std::optional<std::int32_t> ReadInteger(const std::string& n) override {
    return store_.ReadInteger(n);
  }
  std::optional<bool> ReadBool(const std::string& n) override { return store_.ReadBool(n); }
  std::optional<std::string> ReadString(const std::string& n) override {
    return store_.ReadString(n);
  }
  void WriteInteger(const std::string& n, std::int32_t v) override { store_.WriteInteger(n, v); }
  void WriteBool(const std::string& n, bool v) override { store_.WriteBool(n, v); }
  void WriteString(const std::string& n, const std::string& v) override {
    store_.WriteString(n, v);
  }

 private:
  MemorySettingsStore& store_;
};

std::unique_ptr<MainWindow> Form(MemorySettingsStore& store,
                                 const BuildProfile& profile = SerialProfile()) {
  auto form = std::make_unique<MainWindow>(profile, std::make_unique<test::ScriptedLink>(),
                                           RealClock(), std::make_unique<SharedStore>(store));
  return form;
}

// A store as a complete save leaves it, with preset `item` active.
MemorySettingsStore CompleteStore(int item) {
  PanelSettings s;
  s.presetItem = item;
  s.height = 999;  // never used: the window opens at its preset's size
  s.width = 999;
  s.top = 30;
  s.left = 40;
  MemorySettingsStore store;
  SaveSettings(store, SerialProfile(), s);
  return store;
}

void ShowAndSettle(MainWindow& form) {
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QCoreApplication::processEvents();
}

PresetSize Outer(const MainWindow& form) {
  return {form.OuterSize().height(), form.OuterSize().width()};
}

std::vector<QString> Entries(const QMenu* menu) {
  std::vector<QString> texts;
  for (const QAction* a : menu->actions()) texts.push_back(a->isSeparator() ? "-" : a->text());
  return texts;
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void opensAtTheActivePresetsSizeAndPlace() {
    MemorySettingsStore store = CompleteStore(2);
    auto form = Form(store);
    ShowAndSettle(*form);
    QCOMPARE(Outer(*form), (PresetSize{216, 508}));
    QCOMPARE(form->frameGeometry().topLeft(), QPoint(40, 30));
    QVERIFY(form->Action("actPreset2")->isChecked());
    QVERIFY(!form->Action("actPreset1")->isChecked());
  }

  void handEditedPlacesOffTheScreensComeBackAndAreSavedOnScreen() {
    MemorySettingsStore store = CompleteStore(3);
    store.WriteInteger("ApplicationPreset3Height", 100000);
    store.WriteInteger("ApplicationTop", -2239);
    store.WriteInteger("ApplicationKeypadLeft", 90000);
    auto form = Form(store);
    ShowAndSettle(*form);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(form->frameGeometry()), "the main window is on the screen");
    QVERIFY(screen.contains(form->FullKeypad()->frameGeometry()));
    form->close();
    for (const char* name : {"ApplicationTop", "ApplicationKeypadLeft"}) {
      const int value = store.ReadInteger(name).value_or(-1);
      QVERIFY2(value >= 0 && value < screen.height() + screen.width(), name);
    }
    QVERIFY(store.ReadInteger("ApplicationPreset3Height").value_or(0) <= screen.height());
  }

  void emptyStoreOpensAtPresetThreeAndSavesNoPort() {
    MemorySettingsStore store;
    auto form = Form(store);
    ShowAndSettle(*form);
    QCOMPARE(Outer(*form), (PresetSize{283, 752}));
    QCOMPARE(form->PresetItem(), 3);
    form->close();
    QCOMPARE(store.ReadInteger("COM_ID"), std::optional<std::int32_t>(0));
    QCOMPARE(store.ReadInteger("ComBaudRate"), std::optional<std::int32_t>(6));
  }

  void keepsItsSizeOverManyRuns() {
    MemorySettingsStore store = CompleteStore(4);
    for (int run = 0; run < 5; ++run) {
      auto form = Form(store);
      ShowAndSettle(*form);
      QCOMPARE(Outer(*form), (PresetSize{351, 1000}));
      form->close();
    }
    QCOMPARE(store.ReadInteger("ApplicationPreset4Height"), std::optional<std::int32_t>(351));
    QCOMPARE(store.ReadInteger("ApplicationHeight"), std::optional<std::int32_t>(351));
  }

  void presetsFollowResizesAndKeysRecallThem() {
    MemorySettingsStore store = CompleteStore(2);
    auto form = Form(store);
    ShowAndSettle(*form);

    // Preset 1's factory size is below the minimum: the window's real size is
    // what the preset keeps.
    form->Action("actPreset1")->trigger();
    QTRY_COMPARE(Outer(*form), (PresetSize{146, 263}));
    QTRY_COMPARE(form->PresetSize()[0], (PresetSize{146, 263}));
    QCOMPARE(form->PresetItem(), 1);
    QCOMPARE(form->PresetSize()[1], (PresetSize{216, 508}));

    // Ctrl+F4 with preset 2 active lands in preset 2.
    form->Action("actPreset2")->trigger();
    QTRY_COMPARE(Outer(*form), (PresetSize{216, 508}));
    form->Action("actDefPreset4")->trigger();
    QTRY_COMPARE(Outer(*form), (PresetSize{351, 1000}));
    QTRY_COMPARE(form->PresetSize()[1], (PresetSize{351, 1000}));
    QCOMPARE(form->PresetSize()[3], (PresetSize{351, 1000}));
    QCOMPARE(form->PresetItem(), 2);

    // A hand resize changes only the active preset and comes back with it.
    // (The offscreen platform draws a frame of its own, so outer and client
    // sizes differ here as they do under a window manager.)
    form->resize(600, 250);
    QTRY_COMPARE(form->size(), QSize(600, 250));
    const PresetSize byHand = Outer(*form);
    QVERIFY(byHand != (PresetSize{250, 600}));
    QTRY_COMPARE(form->PresetSize()[1], byHand);
    form->Action("actPreset3")->trigger();
    QTRY_COMPARE(Outer(*form), (PresetSize{283, 752}));
    QCOMPARE(form->PresetSize()[1], byHand);
    form->Action("actPreset2")->trigger();
    QTRY_COMPARE(Outer(*form), byHand);

    // The active preset's key changes nothing; out-of-range selections are ignored.
    const PresetSizes before = form->PresetSize();
    form->Action("actPreset2")->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(Outer(*form), byHand);
    QVERIFY(form->Action("actPreset2")->isChecked());
    form->SelectPreset(0);
    form->SelectPreset(6);
    QCOMPARE(form->PresetItem(), 2);
    QVERIFY(form->Action("actPreset2")->isChecked());
    QCOMPARE(form->PresetSize(), before);

    form->close();
    QCOMPARE(store.ReadInteger("ApplicationPresetItem"), std::optional<std::int32_t>(2));
    QCOMPARE(store.ReadInteger("ApplicationPreset2Width"),
             std::optional<std::int32_t>(byHand.width));
  }

  void homeAndParkPlaceTheToolWindowsByTheMainWindow() {
    MemorySettingsStore store = CompleteStore(3);
    auto form = Form(store);
    ShowAndSettle(*form);
    form->move(120, 90);
    QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(120, 90));
    form->Action("actPark")->trigger();
    QCOMPARE(form->Progress()->frameGeometry().topLeft(), QPoint(128, 140));
    for (QWidget* keypad : form->KeypadWindows()) {
      QCOMPARE(keypad->frameGeometry().topLeft(), QPoint(120, 90 + form->frameGeometry().height()));
    }
    QCOMPARE(form->frameGeometry().topLeft(), QPoint(120, 90));
    form->Action("actHome")->trigger();
    QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(form->Progress()->frameGeometry().topLeft(), QPoint(8, 50));
    QVERIFY2(!form->Progress()->isVisible(), "hidden windows move and stay hidden");
  }

  void keypadsOpenWhereTheyWereLeftAndSaveWhereTheyAre() {
    PanelSettings s;
    s.keyTop = 300;
    s.keyLeft = 310;
    s.jKeyTop = 400;
    s.jKeyLeft = 410;
    s.keypadVisible = false;
    s.jKeypadVisible = true;
    MemorySettingsStore store;
    SaveSettings(store, SerialProfile(), s);
    {
      auto form = Form(store);
      QCOMPARE(form->FullKeypad()->pos(), QPoint(310, 300));
      QCOMPARE(form->BasicKeypad()->pos(), QPoint(410, 400));
      QVERIFY(!form->FullKeypad()->isVisible());
      QVERIFY(form->BasicKeypad()->isVisible());
      QVERIFY(!form->Action("actKeypad")->isChecked());
      QVERIFY(form->Action("actJKeypad")->isChecked());
      form->BasicKeypad()->move(520, 500);
      form->close();
    }
    QCOMPARE(store.ReadInteger("ApplicationJKeypadTop"), std::optional<std::int32_t>(500));
    QCOMPARE(store.ReadInteger("ApplicationJKeypadLeft"), std::optional<std::int32_t>(520));
    QCOMPARE(store.ReadInteger("ApplicationKeypadTop"), std::optional<std::int32_t>(300));
    QCOMPARE(store.ReadBool("ApplicationKeypadVisible"), std::optional<bool>(false));
    QCOMPARE(store.ReadBool("ApplicationJKeypadVisible"), std::optional<bool>(true));

    // The next run opens them there, and a switch carries the place over.
    auto form = Form(store);
    QCOMPARE(form->BasicKeypad()->pos(), QPoint(520, 500));
    form->Action("actKeypad")->trigger();
    QVERIFY(form->FullKeypad()->isVisible());
    QVERIFY(!form->BasicKeypad()->isVisible());
    QCOMPARE(form->FullKeypad()->pos(), QPoint(520, 500));
  }

  void usbKeypadsShareOnePlace() {
    PanelSettings s;
    s.keyTop = 300;
    s.keyLeft = 310;
    s.jKeyTop = 400;  // the shown basic keypad's place is the one kept
    s.jKeyLeft = 410;
    s.keypadVisible = false;
    s.jKeypadVisible = true;
    MemorySettingsStore store;
    SaveSettings(store, UsbProfile(), s);
    QVERIFY(!store.Exists("ApplicationJKeypadTop"));
    {
      auto form = Form(store, UsbProfile());
      QCOMPARE(form->FullKeypad()->pos(), QPoint(410, 400));
      QCOMPARE(form->BasicKeypad()->pos(), QPoint(410, 400));
      form->FullKeypad()->move(20, 20);  // hidden: its place is not the one kept
      form->BasicKeypad()->move(520, 500);
      form->close();
    }
    QCOMPARE(store.ReadInteger("ApplicationKeypadTop"), std::optional<std::int32_t>(500));
    QCOMPARE(store.ReadInteger("ApplicationKeypadLeft"), std::optional<std::int32_t>(520));
    QVERIFY(!store.Exists("ApplicationJKeypadTop"));

    // Neither shown: the kept place stays.
    {
      auto form = Form(store, UsbProfile());
      form->Action("actJKeypad")->trigger();
      QVERIFY(!form->BasicKeypad()->isVisible() && !form->FullKeypad()->isVisible());
      form->BasicKeypad()->move(1, 1);
      form->close();
    }
    QCOMPARE(store.ReadInteger("ApplicationKeypadTop"), std::optional<std::int32_t>(500));
  }

  void homeAndParkStackBothShownKeypads() {
    PanelSettings s;
    s.presetItem = 3;
    s.keyTop = 300;
    s.jKeyTop = 600;
    s.keypadVisible = true;
    s.jKeypadVisible = true;
    MemorySettingsStore store;
    SaveSettings(store, SerialProfile(), s);
    auto form = Form(store);
    ShowAndSettle(*form);
    QVERIFY(form->FullKeypad()->isVisible() && form->BasicKeypad()->isVisible());
    form->Action("actHome")->trigger();
    QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(0, 0));
    const QPoint below(0, form->frameGeometry().height());
    QCOMPARE(form->FullKeypad()->frameGeometry().topLeft(), below);
    QCOMPARE(form->BasicKeypad()->frameGeometry().topLeft(), below);
    QVERIFY(form->FullKeypad()->isVisible() && form->BasicKeypad()->isVisible());
    // The basic keypad is raised last, so it is the one on top.
    QCOMPARE(form->KeypadWindows().back(), static_cast<QWidget*>(form->BasicKeypad()));
  }

  void menusAndContextMenuCarryTheViewCommands() {
    MemorySettingsStore store = CompleteStore(4);
    auto form = Form(store);
    const std::vector<QString> view = Entries(form->ViewMenu());
    QCOMPARE(view.front(), QString("&Home display && keypad"));
    QCOMPARE(view[1], QString("&Park keypad near display"));
    QCOMPARE(view.back(), QString("Display Preset &5"));
    QCOMPARE(Entries(form->ContextMenu()).back(), QString("Display Preset &5"));
    QCOMPARE(form->Action("actHome")->shortcut(), QKeySequence("Ctrl+H"));
    QCOMPARE(form->Action("actDefPreset3")->shortcut(), QKeySequence("Ctrl+F3"));

    // One radio mark in the context menu, on the active preset, following it
    // (the keypad switches carry check marks of their own).
    const auto popupChecked = [&] {
      std::vector<QString> checked;
      for (QAction* a : form->ContextMenu()->actions()) {
        if (a->isChecked() && a->actionGroup() != nullptr) checked.push_back(a->text());
      }
      return checked;
    };
    QCOMPARE(popupChecked(), std::vector<QString>{"Display Preset &4"});
    QAction* popup1 = form->ContextMenu()->findChild<QAction*>("PopupPreset1");
    QVERIFY(popup1 != nullptr);
    QVERIFY(popup1->actionGroup() != nullptr && popup1->actionGroup()->isExclusive());
    popup1->trigger();
    QCOMPARE(form->PresetItem(), 1);
    QCOMPARE(popupChecked(), std::vector<QString>{"Display Preset &1"});
    QVERIFY(form->Action("actPreset1")->isChecked());
    QVERIFY(!form->Action("actPreset4")->isChecked());
  }

  void aboutBoxNamesTheProgram() {
    for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
      MemorySettingsStore store;
      auto form = Form(store, *profile);
      AboutBox* help = form->AboutDialog();
      const QString name = QString::fromUtf8(profile->programName.data());
      QCOMPARE(help->windowTitle(), name + ": Help");
      QCOMPARE(help->size(), QSize(313, 214));
      QCOMPARE(help->findChild<QLabel*>("ProductName")->text(), name);
      const QString line = help->findChild<QLabel*>("Version")->text();
      QCOMPARE(line, profile == &SerialProfile() ? QString("KALDOR R40-XT RS-232 terminal")
                                                 : QString("KALDOR R40-XT USB terminal"));
      QRect shownAt;
      QTimer::singleShot(0, help, [help, &shownAt] {
        shownAt = help->geometry();
        help->accept();
      });
      form->Action("About1")->trigger();  // modal: returns once the box is closed
      QVERIFY(!help->isVisible());
      // Centred on the screen, its icon drawn at full size.
      const QPoint centre = form->screen()->availableGeometry().center();
      // (QRect's centre rounds down on both sides of the sum.)
      QVERIFY((shownAt.center() - centre).manhattanLength() <= 4);
      const QLabel* icon = help->findChild<QLabel*>("ProgramIcon");
      QCOMPARE(icon->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
      // The drawn 32-pixel size of the program's icon, not a scaled one.
      QCOMPARE(icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
               QImage(":/amppanel/icons/amppanel-32.png")
                   .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
  }

  // Every window, tool windows and boxes included, shows the program's own
  // icon in each drawn size, never the toolkit's.
  void everyWindowShowsTheProgramsIcon() {
    for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
      MemorySettingsStore store;
      auto form = Form(store, *profile);
      const QIcon icon = form->windowIcon();
      for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
      }
      QCOMPARE(
          icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
          QImage(":/amppanel/icons/amppanel-32.png")
              .convertToFormat(QImage::Format_ARGB32_Premultiplied));
      std::vector<const QWidget*> windows{form->Progress(), form->AboutDialog(),
                                          form->FullKeypad()};
      if (form->BasicKeypad() != nullptr) windows.push_back(form->BasicKeypad());
      for (const QWidget* w : windows) {
        QVERIFY(w != nullptr);
        QCOMPARE(w->windowIcon().cacheKey(), icon.cacheKey());
      }
    }
  }

  void usbWindowStartsAtItsOwnFallbackPreset() {
    MemorySettingsStore store;
    PanelSettings s;
    s.presetItem = 6;
    SaveSettings(store, UsbProfile(), s);
    auto form = Form(store, UsbProfile());
    QCOMPARE(form->PresetItem(), 1);
    QVERIFY(form->Action("actPreset1")->isChecked());
  }

  void minimisedWindowIsBroughtBack() {
    MemorySettingsStore store;
    auto form = Form(store);
    ShowAndSettle(*form);
    form->showMinimized();
    QCoreApplication::processEvents();
    form->BringToFront();
    QVERIFY(!form->isMinimized());
    QVERIFY(form->isVisible());
  }

  void settingsFileRoundTripsAndIsReplacedWhole() {
    QTemporaryDir dir;
    const QString file = dir.filePath("AmpPanel_232.conf");
    PanelSettings saved;
    saved.comPort = 12;
    saved.presetItem = 5;
    saved.usbIdString = "ID 7";
    saved.usbIdEnabled = true;
    {
      QtSettingsStore store(file);
      SaveSettings(store, SerialProfile(), saved);
      QVERIFY(store.Flush());
    }
    struct stat first {};
    QCOMPARE(::stat(file.toLocal8Bit().constData(), &first), 0);
    {
      QtSettingsStore store(file);
      PanelSettings loaded;
      QVERIFY(LoadSettings(store, SerialProfile(), loaded));
      QVERIFY(loaded == saved);
      saved.comPort = 13;
      SaveSettings(store, SerialProfile(), saved);
      QVERIFY(store.Flush());
    }
    // A new file renamed over the old one, never the old one rewritten in place.
    struct stat second {};
    QCOMPARE(::stat(file.toLocal8Bit().constData(), &second), 0);
    QVERIFY(first.st_ino != second.st_ino);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);

    // Hand-edited values that are not numbers fail like missing ones.
    {
      QtSettingsStore store(file);
      store.Settings().setValue("ComBaudRate", "fast");
      PanelSettings loaded;
      QVERIFY(!LoadSettings(store, SerialProfile(), loaded));
      QCOMPARE(loaded.comPort, 0);
      QCOMPARE(loaded.presetItem, 3);
    }
  }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
