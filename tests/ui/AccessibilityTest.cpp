// What a screen reader gets from the panel, offscreen: the display as text
// through the accessibility interface, events only for a change, the
// announcements, and the names of lamps, keypad buttons and status panels.
#include <QAccessible>
#include <QLabel>
#include <QtTest>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "display/DisplayText.h"
#include "display/Renderer.h"
#include "protocol/Frames.h"
#include "sim/AmpModel.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedLink.h"
#include "ui/BasicKeypadWindow.h"
#include "ui/DisplayAccessible.h"
#include "ui/DisplayView.h"
#include "ui/FullKeypadWindow.h"
#include "ui/MainWindow.h"

using namespace amppanel;
using test::Bytes;

namespace {

struct SeenEvent {
  QObject* object;
  QAccessible::Event type;
  QString name;
};

std::vector<SeenEvent>& Seen() {
  static std::vector<SeenEvent> seen;
  return seen;
}

void Record(QAccessibleEvent* event) {
  QAccessibleInterface* iface = event->accessibleInterface();
  Seen().push_back({event->object(), event->type(),
                    iface != nullptr ? iface->text(QAccessible::Name) : QString()});
}

int Count(QObject* object, QAccessible::Event type) {
  int n = 0;
  for (const SeenEvent& e : Seen()) n += e.object == object && e.type == type ? 1 : 0;
  return n;
}

// The panel against a virtual amplifier whose display the test sets.
struct Harness {
  Harness() {
    auto owned = std::make_unique<test::ScriptedLink>();
    link = owned.get();
    link->responder = [this](const Bytes& written) {
      if (written.size() < 2 || written[written.size() - 2] != kQueryCode) return Bytes{};
      std::lock_guard lock(mutex);
      ++queries;
      const Screen::Data data = screen.Bytes();
      return DisplayReply(0x01, status, Bytes(data.begin(), data.end()));
    };
    form = std::make_unique<MainWindow>(SerialProfile(), std::move(owned), clock);
    form->SetDialogs(std::make_unique<test::RecordingDialogs>());
    form->Settings().comPort = 1;
  }

  void Show(const AmpModel& model) {
    std::lock_guard lock(mutex);
    screen = model.Compose();
    status = model.StatusByte();
  }
  int Queries() {
    std::lock_guard lock(mutex);
    return queries;
  }
  QAccessibleInterface* Display() const {
    return QAccessible::queryAccessibleInterface(form->View());
  }
  QString DisplayValue() const { return Display()->text(QAccessible::Value); }

  SteadyClock clock{20};
  test::ScriptedLink* link = nullptr;
  std::unique_ptr<MainWindow> form;
  std::mutex mutex;
  Screen screen;
  std::uint8_t status = 0xFF;
  int queries = 0;
};

QString Joined(const AmpModel& model) {
  PollState state;
  const Screen::Data data = model.Compose().Bytes();
  std::copy(data.begin(), data.end(), state.ReplyBuffer.begin());
  state.FrameReady = true;
  DisplayImage image;
  DecodeDisplay(state, image);
  return QString::fromStdString(ReadDisplay(image.CellsShown()).Joined());
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetAccessibleEventSink(&Record); }
  void cleanupTestCase() { SetAccessibleEventSink(nullptr); }

  void displayReadsTheAmplifierAndSpeaksOnlyForAChange() {
    Harness h;
    SimTime now{std::chrono::hours(1)};
    AmpModel amp(AmpModelOptions{}, now);
    h.Show(amp);
    QAccessibleInterface* display = h.Display();
    QVERIFY(display != nullptr);
    QCOMPARE(display->text(QAccessible::Name), QString("Amplifier display"));
    QCOMPARE(display->text(QAccessible::Value), QString(7, '\n'));  // off-line: blank

    Seen().clear();
    h.form->Connect();
    const QString main = Joined(amp);
    QTRY_COMPARE_WITH_TIMEOUT(h.DisplayValue(), main, 5000);
    QVERIFY(main.startsWith("20m ANT 1 IN 1 MAX STBY\n"));
    QAccessibleTextInterface* text = display->textInterface();
    QVERIFY(text != nullptr);
    QCOMPARE(text->text(0, text->characterCount()), main);
    QCOMPARE(text->text(0, 3), QString("20m"));

    // The same frame, polled again and again: no further event.
    const int changes = Count(h.form->View(), QAccessible::TextUpdated);
    QVERIFY(changes >= 1);
    const int polled = h.Queries();
    QTRY_VERIFY_WITH_TIMEOUT(h.Queries() >= polled + 5, 5000);
    QCOMPARE(Count(h.form->View(), QAccessible::TextUpdated), changes);

    // The set menu: the text changes once and the selected line is announced.
    QObject* announcer = h.form->View()->findChild<DisplayAnnouncer*>();
    QVERIFY(announcer != nullptr);
    QCOMPARE(display->childCount(), 1);
    QCOMPARE(display->child(0)->role(), QAccessible::Notification);
    now += std::chrono::milliseconds(100);
    amp.Key(key::kSet, now);
    h.Show(amp);
    QTRY_COMPARE_WITH_TIMEOUT(h.DisplayValue(), Joined(amp), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(Count(announcer, QAccessible::ObjectShow) == 1, 5000);
    QCOMPARE(display->child(0)->text(QAccessible::Name),
             QString("right CAT RADIO ICOM (selected)"));
    const int polledMenu = h.Queries();
    QTRY_VERIFY_WITH_TIMEOUT(h.Queries() >= polledMenu + 5, 5000);
    QCOMPARE(Count(h.form->View(), QAccessible::TextUpdated), changes + 1);
    QCOMPARE(Count(announcer, QAccessible::ObjectShow), 1);

    // An alarm: the lamp lights and the display's lines are announced.
    now += std::chrono::milliseconds(100);
    amp.Key(key::kSet, now);
    amp.RaiseAlarm("HIGH SWR");
    h.Show(amp);
    QTRY_COMPARE_WITH_TIMEOUT(display->child(0)->text(QAccessible::Name),
                              QString("Alarm: ALARM (selected). HIGH SWR. PRESS ANY KEY"), 5000);

    h.form->Disconnect();
    QCOMPARE(h.DisplayValue(), QString(7, '\n'));
  }

  void lampsButtonsAndStatusPanelsAreNamed() {
    Harness h;
    FullKeypadWindow* full = h.form->FullKeypad();
    BasicKeypadWindow* basic = h.form->BasicKeypad();
    auto name = [](QWidget* w) {
      return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    QCOMPARE(name(full->Button(PanelKey::kBandMinus)), QString("Band down"));
    QCOMPARE(name(full->Button(PanelKey::kLPlus)), QString("L up"));
    QCOMPARE(name(full->Button(PanelKey::kRightArrow)), QString("Right arrow"));
    QCOMPARE(name(basic->Button(PanelKey::kOn)), QString("On"));

    QCOMPARE(name(full->LampLabel(Lamp::kTransmit)), QString("TX lamp, unlit"));
    QCOMPARE(full->LampLabel(Lamp::kTransmit)->text(), QString("TX"));
    full->SetLamps(0x18);
    basic->SetLamps(0x18);
    QCOMPARE(name(full->LampLabel(Lamp::kTransmit)), QString("TX lamp, lit"));
    QCOMPARE(name(full->LampLabel(Lamp::kAlarm)), QString("Alarm lamp, unlit"));
    QCOMPARE(name(basic->Strip(Lamp::kOperate)), QString("OP lamp, transmitting"));
    QCOMPARE(name(basic->Strip(Lamp::kAlarm)), QString("Alarm lamp, unlit"));

    QLabel* connection = h.form->StatusPanel(0);
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(connection);
    QCOMPARE(panel->text(QAccessible::Name), QString("OFF-LINE"));
    QCOMPARE(panel->text(QAccessible::Description), QString("Connection"));
  }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
