// What screen readers see of the display view: a read-only text named
// "Amplifier display" whose value and text are the display's eight lines, and
// one child through which announcements are spoken unprompted.
#pragma once

#include <QObject>

class QAccessibleEvent;

namespace amppanel {

class DisplayView;

// The source of the view's announcements: a plain object, not a widget, so
// that nothing on the screen changes. Its accessible role is a notification
// whose name is the view's last announcement.
class DisplayAnnouncer final : public QObject {
  Q_OBJECT

 public:
  explicit DisplayAnnouncer(DisplayView* view);
  DisplayView* View() const;
};

// Where the display's accessibility events go; null (the default) is Qt's own
// dispatch. Qt passes events to an update handler only while an assistive
// technology is active, which it never is offscreen, so tests record here.
using AccessibleEventSink = void (*)(QAccessibleEvent* event);
void SetAccessibleEventSink(AccessibleEventSink sink);

// Installs the accessibility factory (once per program) and gives the view
// its announcer.
void MakeDisplayAccessible(DisplayView* view);

}  // namespace amppanel
