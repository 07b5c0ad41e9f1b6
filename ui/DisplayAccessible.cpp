#include "ui/DisplayAccessible.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>

#include "ui/DisplayView.h"

namespace amppanel {
namespace {

AccessibleEventSink eventSink = nullptr;

void Raise(QAccessibleEvent* event) {
  if (eventSink != nullptr) {
    eventSink(event);
  } else {
    QAccessible::updateAccessibility(event);
  }
}

const QString kDisplayName = QStringLiteral("Amplifier display");
const QString kAnnouncerName = QStringLiteral("DisplayAnnouncer");

DisplayAnnouncer* AnnouncerOf(const DisplayView* view) {
  return view->findChild<DisplayAnnouncer*>(kAnnouncerName, Qt::FindDirectChildrenOnly);
}

class DisplayViewAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit DisplayViewAccessible(DisplayView* view)
      : QAccessibleWidget(view, QAccessible::StaticText, kDisplayName) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return kDisplayName;
      case QAccessible::Value:
        return Lines();
      default:
        return QAccessibleWidget::text(t);
    }
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    return s;
  }

  // The view draws everything itself: its one child is the announcer.
  int childCount() const override { return Announcer() != nullptr ? 1 : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index != 0 || Announcer() == nullptr) return nullptr;
    return QAccessible::queryAccessibleInterface(Announcer());
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == Announcer() && Announcer() != nullptr ? 0 : -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  // Read-only text: no selection, the caret at the start.
  void selection(int, int* startOffset, int* endOffset) const override {
    *startOffset = 0;
    *endOffset = 0;
  }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override {
    const QString lines = Lines();
    if (startOffset < 0 || endOffset < startOffset || startOffset > lines.size()) return {};
    return lines.mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return static_cast<int>(Lines().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* startOffset, int* endOffset) const override {
    *startOffset = offset;
    *endOffset = offset;
    return {};
  }

 private:
  const DisplayView* View() const { return static_cast<const DisplayView*>(object()); }
  DisplayAnnouncer* Announcer() const { return AnnouncerOf(View()); }
  QString Lines() const { return QString::fromStdString(View()->Text().Joined()); }
};

class AnnouncerAccessible final : public QAccessibleObject {
 public:
  explicit AnnouncerAccessible(DisplayAnnouncer* announcer) : QAccessibleObject(announcer) {}

  QAccessible::Role role() const override { return QAccessible::Notification; }
  QAccessible::State state() const override { return {}; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name && t != QAccessible::Value) return {};
    const DisplayView* view = Announcer()->View();
    return view != nullptr ? view->LastAnnouncement() : QString();
  }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(Announcer()->View());
  }
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

 private:
  DisplayAnnouncer* Announcer() const { return static_cast<DisplayAnnouncer*>(object()); }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* view = qobject_cast<DisplayView*>(object)) return new DisplayViewAccessible(view);
  if (auto* announcer = qobject_cast<DisplayAnnouncer*>(object)) {
    return new AnnouncerAccessible(announcer);
  }
  return nullptr;
}

void Announce(DisplayView* view, const QString& text) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  QAccessibleAnnouncementEvent event(view, text);
  Raise(&event);
#else
  // Before Qt 6.8 there is no announcement event. A notification that shows
  // itself is what screen readers speak unprompted (as they do a desktop
  // notification), so the announcer renames itself and shows again.
  Q_UNUSED(text);
  DisplayAnnouncer* announcer = AnnouncerOf(view);
  if (announcer == nullptr) return;
  QAccessibleEvent renamed(announcer, QAccessible::NameChanged);
  Raise(&renamed);
  QAccessibleEvent shown(announcer, QAccessible::ObjectShow);
  Raise(&shown);
#endif
}

}  // namespace

void SetAccessibleEventSink(AccessibleEventSink sink) { eventSink = sink; }

DisplayAnnouncer::DisplayAnnouncer(DisplayView* view) : QObject(view) {
  setObjectName(kAnnouncerName);
}

DisplayView* DisplayAnnouncer::View() const { return qobject_cast<DisplayView*>(parent()); }

void MakeDisplayAccessible(DisplayView* view) {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  Q_UNUSED(installed);
  new DisplayAnnouncer(view);
}

void DisplayView::ShowText(const DisplayText& text, bool alarmLit) {
  if (text == text_ && alarmLit == alarmLit_) return;
  const std::string said = Announcement(text_, alarmLit_, text, alarmLit);
  const QString before = QString::fromStdString(text_.Joined());
  text_ = text;
  alarmLit_ = alarmLit;
  const QString after = QString::fromStdString(text_.Joined());
  if (after != before) {
    QAccessibleTextUpdateEvent changed(this, 0, before, after);
    Raise(&changed);
  }
  if (!said.empty()) {
    announcement_ = QString::fromStdString(said);
    Announce(this, announcement_);
  }
}

}  // namespace amppanel
