// AmpPanel_232 after a failed connection: the settings dialog comes up, the
// port chosen there is shown, connects to the virtual amplifier registered on
// it and is saved at exit.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "link/serial/SerialLink.h"
#include "platform/SettingsStore.h"
#include "tests/support/PtyAmplifier.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScopedEnv.h"
#include "tests/ui/DisplayChecks.h"
#include "tests/ui/ModalDriver.h"
#include "ui/ComPortDialog.h"
#include "ui/MainWindow.h"

using namespace amppanel;
using test::WhenActive;

class ConfigureEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void failedConnectionLeadsToAPortThatConnects() {
    test::ModalDriverGaveUp() = false;
    QTemporaryDir config;
    test::ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toStdString());
    test::PtyAmplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    // Registered as ampsim --com 61 registers it.
    const std::filesystem::path ports = config.path().toStdString() + "/Norvik/ports";
    std::filesystem::create_directories(ports);
    std::filesystem::create_symlink(amp.Device(), ports / "COM61");

    SteadyClock clock(4);
    // An empty store: a first run, no port chosen.
    MainWindow form(SerialProfile(), std::make_unique<SerialLink>(), clock,
                    std::make_unique<MemorySettingsStore>());
    auto recorder = std::make_unique<test::RecordingDialogs>();
    test::RecordingDialogs* dialogs = recorder.get();
    form.SetDialogs(std::move(recorder));
    form.SetConnectionDialog(MakeComPortDialog(&form));
    QCOMPARE(form.Settings().comPort, 0);
    QAction* configure = form.Action("actConfigureConnection");

    auto* com = form.findChild<ComPortDialog*>("dlgCom");
    std::vector<std::string> shownBeforeTheDialog;
    QString toolTip;
    WhenActive(com, [&] {
      shownBeforeTheDialog = dialogs->Shown();
      com->findChild<QScrollBar*>("sbSet")->setValue(61);
      toolTip = com->findChild<QLabel*>("stReadout")->toolTip();
      QTest::mouseClick(com->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
    });
    form.Connect();
    QVERIFY(!configure->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(form.Settings().comPort, 61, 10000);
    QCOMPARE(shownBeforeTheDialog,
             std::vector<std::string>{"error: CAN'T OPEN SERIAL LINK...  #[1071]"});
    QVERIFY(configure->isEnabled());
    // The window is not shown, so nothing but the dialog's OK can have
    // brought the status bar up to date.
    QCOMPARE(form.StatusPanel(4)->text(), QStringLiteral("Port: COM61"));
    QCOMPARE(form.StatusPanel(5)->text(), QStringLiteral("Baud Rate: 115200"));
    const std::string device = std::filesystem::canonical(amp.Device()).string();
    QVERIFY2(toolTip.contains(QString::fromStdString(device)), qPrintable(toolTip));
    QVERIFY2(toolTip.contains(QStringLiteral("Norvik/ports/COM61")), qPrintable(toolTip));

    form.Connect();
    QVERIFY(!configure->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(form.OnLine(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(test::ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QVERIFY(!configure->isEnabled());
    // On-line the settings cannot change under the link.
    bool openedOnLine = false;
    QTimer::singleShot(0, com, [&openedOnLine, com] {
      if (!com->isVisible()) return;
      openedOnLine = true;
      com->reject();
    });
    configure->trigger();
    QVERIFY(!openedOnLine);
    form.Disconnect();
    QVERIFY(configure->isEnabled());

    form.close();
    QCOMPARE(form.Store().ReadInteger("COM_ID"), std::optional<std::int32_t>(61));
    QCOMPARE(form.Store().ReadInteger("ComBaudRate"), std::optional<std::int32_t>(6));
    QCOMPARE(dialogs->Shown().size(), std::size_t{1});
    QVERIFY(!test::ModalDriverGaveUp());
  }
};

QTEST_MAIN(ConfigureEndToEndTest)
#include "ConfigureEndToEndTest.moc"
