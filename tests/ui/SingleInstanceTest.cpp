// Single instance with real processes: one copy per build, a second copy
// raises the first and ends, the two builds run side by side.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

std::unique_ptr<QProcess> Start(const QString& build, const QString& folder) {
  auto p = std::make_unique<QProcess>();
  p->start(QStringLiteral(INSTANCE_PROBE), {build, folder});
  return p;
}

QString FirstLine(QProcess& p) {
  if (!p.canReadLine() && !p.waitForReadyRead(5000)) return {};
  return QString::fromLocal8Bit(p.readLine()).trimmed();
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void secondCopyRaisesTheFirstAndEnds() {
    QTemporaryDir folder;
    auto first = Start("232", folder.path());
    QCOMPARE(FirstLine(*first), QString("first"));

    QElapsedTimer clock;
    clock.start();
    auto second = Start("232", folder.path());
    QVERIFY(second->waitForFinished(5000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(QString::fromLocal8Bit(second->readAllStandardOutput()).trimmed(),
             QString("second ok"));
    QCOMPARE(FirstLine(*first), QString("front"));

    // The other build is not a second copy of this one.
    auto usb = Start("USB", folder.path());
    QCOMPARE(FirstLine(*usb), QString("first"));

    for (QProcess* p : {first.get(), usb.get()}) {
      p->closeWriteChannel();
      QVERIFY(p->waitForFinished(5000));
    }
    // Once the first copy has ended, the next start is a first copy again.
    auto again = Start("232", folder.path());
    QCOMPARE(FirstLine(*again), QString("first"));
    again->closeWriteChannel();
    QVERIFY(again->waitForFinished(5000));
  }

  void aCrashedCopyDoesNotBlockTheNextStart() {
    QTemporaryDir folder;
    auto crashed = Start("232", folder.path());
    QCOMPARE(FirstLine(*crashed), QString("first"));
    crashed->kill();
    QVERIFY(crashed->waitForFinished(5000));
    auto next = Start("232", folder.path());
    QCOMPARE(FirstLine(*next), QString("first"));
    next->closeWriteChannel();
    QVERIFY(next->waitForFinished(5000));
  }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
