// AmpPanel_232's main window against the virtual amplifier behind a real
// pseudo-terminal, read through the real serial link.
#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "link/serial/SerialLink.h"
#include "tests/support/PtyAmplifier.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/ui/DisplayChecks.h"
#include "tests/ui/FreezeAtRest.h"
#include "ui/MainWindow.h"
#include "update/Package.h"
#include "update/PackageWriter.h"

using namespace amppanel;

namespace {

using Amplifier = test::PtyAmplifier;
using test::ShowsTheAmplifiersDisplay;

using test::AllPixelsAre;

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void mirrorsTheAmplifierThroughAPseudoTerminal() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    // Short read time-outs keep the silent stretch below brief; the poll pause
    // and connect waits run 4 times faster than real.
    SerialTimeouts timeouts;
    timeouts.readConstant = std::chrono::milliseconds(150);
    timeouts.readMultiplier = std::chrono::milliseconds(1);
    SteadyClock clock(4);
    const std::string device = amp.Device();
    MainWindow form(
        SerialProfile(),
        std::make_unique<SerialLink>([device](int n) { return n == 3 ? device : ""; }, timeouts),
        clock);
    auto recorder = std::make_unique<test::RecordingDialogs>();
    test::RecordingDialogs* dialogs = recorder.get();
    form.SetDialogs(std::move(recorder));
    form.Settings().comPort = 3;
    QSignalSpy lamps(&form, &MainWindow::LampsChanged);

    form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(form.OnLine(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QCOMPARE(lamps.last().at(0).value<std::uint8_t>(), std::uint8_t{lamp::kOn});
    QTRY_VERIFY(form.Action("actLoadUpdate")->isEnabled());

    // A key from the window reaches the amplifier; one pressed on the
    // amplifier itself shows up in the window.
    const int band = amp.engine.State().band;
    form.SendKey(key::kBandUp);
    QTRY_VERIFY_WITH_TIMEOUT(amp.engine.State().band != band, 10000);
    amp.engine.PressKey(key::kOperate);
    QTRY_VERIFY_WITH_TIMEOUT(lamps.last().at(0).value<std::uint8_t>() & lamp::kOperate, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QTRY_VERIFY(!form.Action("actLoadUpdate")->isEnabled());

    // Silence blanks the display and darkens the lamps; the answers coming
    // back bring the display back on the same connection.
    amp.engine.StopAnswering(std::chrono::hours(1));
    QTRY_VERIFY_WITH_TIMEOUT(AllPixelsAre(*form.Image(), SerialProfile().onLineBackground), 10000);
    QCOMPARE(lamps.last().at(0).value<std::uint8_t>(), std::uint8_t{0});
    QVERIFY(form.OnLine());
    amp.engine.StopAnswering(std::chrono::milliseconds(0));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QCOMPARE(amp.connectKeys.load(), 1);

    form.Disconnect();
    QVERIFY(!form.OnLine());
    QVERIFY(AllPixelsAre(*form.Image(), kOffLineBackground));
    QVERIFY(dialogs->Shown().empty());
  }

  void freezeHoldsTheImageWhileTheAmplifierChanges() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    SteadyClock clock(4);
    const std::string device = amp.Device();
    MainWindow form(SerialProfile(), std::make_unique<SerialLink>([device](int) { return device; }),
                    clock);
    auto recorder = std::make_unique<test::RecordingDialogs>();
    test::RecordingDialogs* dialogs = recorder.get();
    form.SetDialogs(std::move(recorder));
    form.Settings().comPort = 1;
    form.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);

    QVERIFY(test::FreezeRightAfterADrawing(form));
    const std::vector<std::uint8_t> held(
        form.Image()->Data(),
        form.Image()->Data() + DisplayImage::kBytesPerLine * DisplayImage::kHeight);
    const int frames = amp.engine.FramesReceived();
    amp.engine.PressKey(key::kSet);  // the amplifier now shows its menu
    // Nothing is pending once frozen at rest, so this span cannot fail a sound
    // freeze; it is the time a broken one (polling every 20 ms) gets to show.
    QTest::qWait(300);
    QCOMPARE(amp.engine.FramesReceived(), frames);
    QVERIFY(std::equal(held.begin(), held.end(), form.Image()->Data()));

    QTemporaryDir dir;
    dialogs->fileToGive = dir.filePath("held.bmp").toStdString();
    form.Action("actSave")->trigger();
    QCOMPARE(QFile(dir.filePath("held.bmp")).size(), qint64(49830));

    form.Action("actFreeze")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTheAmplifiersDisplay(*form.Image(), amp.engine), 10000);
    QVERIFY(!std::equal(held.begin(), held.end(), form.Image()->Data()));

    form.Action("actFreeze")->trigger();
    form.Disconnect();  // frozen: the worker is released, then stopped
    QVERIFY(!form.Polling());
    QVERIFY(!form.Action("actFreeze")->isEnabled());
    QVERIFY(AllPixelsAre(*form.Image(), kOffLineBackground));
  }

  void firmwareUpdateFromTheMenuReachesTheLoaderAndMirroringResumes() {
    Amplifier amp;
    QVERIFY2(amp.Opened(), "no pseudo-terminal available");
    SteadyClock clock(4);  // the 3 s identification wait and the ON pulse, shortened
    const std::string device = amp.Device();
    MainWindow form(SerialProfile(), std::make_unique<SerialLink>([device](int) { return device; }),
                    clock);
    auto recorder = std::make_unique<test::RecordingDialogs>();
    test::RecordingDialogs* dialogs = recorder.get();
    form.SetDialogs(std::move(recorder));
    form.Settings().comPort = 1;
    form.Connect();
    // In standby the amplifier's status offers an update.
    QTRY_VERIFY_WITH_TIMEOUT(form.Action("actLoadUpdate")->isEnabled(), 10000);

    std::vector<std::uint8_t> image(3 * kBlockDataSize - 100);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    const std::vector<std::uint8_t> package = BuildPackage(image);
    QTemporaryDir dir;
    const QString path = dir.filePath("fw.PK3");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(package.data()), static_cast<qint64>(package.size()));
    file.close();
    dialogs->fileToGive = path.toStdString();

    form.Action("actLoadUpdate")->trigger();
    QCOMPARE(dialogs->Shown(), std::vector<std::string>{"open: Open Package file"});
    QVERIFY(form.Session().Updating());
    QVERIFY(!form.Polling());
    // While the upload runs (the identification wait alone takes 750 ms here),
    // nothing can end the program or the link.
    QTRY_VERIFY_WITH_TIMEOUT(!form.Action("actExit")->isEnabled(), 5000);
    QVERIFY(!form.Action("actClose")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(amp.engine.Blocks().size(), std::size_t(3), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(form.Polling(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(form.Action("actExit")->isEnabled(), 10000);
    // Every block arrived byte for byte (the last one padded with 0xFF).
    image.resize(3 * kBlockDataSize, 0xFF);
    const auto blocks = amp.engine.Blocks();
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      QVERIFY(std::equal(blocks[b].data.begin(), blocks[b].data.end(),
                         image.begin() + static_cast<long>(b * kBlockDataSize)));
    }
    QVERIFY2(dialogs->Shown().size() == 1, "no error box");
    // After the update the amplifier's temperature settles and its bar moves
    // every frame, so "the display of this moment" is a race a slow build
    // loses. Frozen right after a drawing no query follows: the window must
    // show the last reply sent.
    QVERIFY(test::FreezeRightAfterADrawing(form));
    QVERIFY(test::ShowsTheLastReply(*form.Image(), amp.engine));
    form.Disconnect();
  }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
