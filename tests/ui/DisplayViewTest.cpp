// The display view offscreen: what reaches the window, after partial repaints.
#include <QScreen>
#include <QtTest>
#include <random>

#include "display/DisplayImage.h"
#include "ui/DisplayView.h"

using namespace amppanel;

namespace {

// The image stretched to `size`: every widget pixel takes the image pixel
// under its centre.
QImage Stretched(const DisplayImage& image, QSize size) {
  QImage out(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      const Rgb p = image.Pixel((2 * x + 1) * DisplayImage::kWidth / (2 * size.width()),
                                (2 * y + 1) * DisplayImage::kHeight / (2 * size.height()));
      out.setPixel(x, y, qRgb(p.r, p.g, p.b));
    }
  }
  return out;
}

QImage Shown(DisplayView& view) {
  return view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

struct PaintCounter : QObject {
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

}  // namespace

class DisplayViewTest : public QObject {
  Q_OBJECT

 private slots:
  // Only changed strips are redrawn; at any size the window must hold exactly
  // the stretched image, with no dot column shifted at a strip's edge.
  void partialRedrawsLeaveExactlyTheStretchedImage() {
    for (const QSize size : {QSize(1421, 449), QSize(255, 97), QSize(1000, 333), QSize(244, 68)}) {
      DisplayImage image;
      image.ResetDisplay(Rgb{0xF0, 0xF0, 0xE0});
      DisplayView view;
      view.resize(size);
      view.Attach(image);
      view.show();
      QVERIFY(QTest::qWaitForWindowExposed(&view));
      std::mt19937 random(static_cast<unsigned>(size.width()));
      for (int round = 0; round < 20; ++round) {
        // A few cells anywhere, sometimes inverted: strips of every width.
        for (int n = 0; n < 1 + round % 4; ++n) {
          image.DrawCell(static_cast<int>(random() % 40), static_cast<int>(random() % 8),
                         static_cast<std::uint8_t>(random() % 224), false, random() % 3 == 0);
        }
        view.ShowChanges();
        QCoreApplication::processEvents();
      }
      QVERIFY2(Shown(view) == Stretched(image, size),
               qPrintable(QStringLiteral("at %1 x %2").arg(size.width()).arg(size.height())));

      // Changes nobody showed yet are not lost to an expose.
      image.DrawCell(0, 0, 33, false, true);
      view.update();
      QCoreApplication::processEvents();
      QVERIFY(Shown(view) == Stretched(image, size));
    }
  }

  void anUnchangedImageRedrawsNothing() {
    DisplayImage image;
    DisplayView view;
    view.resize(500, 200);
    view.Attach(image);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    PaintCounter counter;
    view.installEventFilter(&counter);
    view.ShowChanges();
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    image.DrawCell(3, 3, 33, false, false);
    view.ShowChanges();
    QTRY_COMPARE(counter.paints, 1);
  }
};

QTEST_MAIN(DisplayViewTest)
#include "DisplayViewTest.moc"
