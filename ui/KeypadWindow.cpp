#include "ui/KeypadWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>

#include "ui/QtVirtualKeys.h"

namespace amppanel {

namespace {
constexpr int kPressLook = 100;  // ms
}  // namespace
namespace {

constexpr QColor kArrowFill(0, 128, 128);  // teal
constexpr QColor kOnCaption(0, 128, 0);
constexpr QColor kOffCaption(255, 0, 0);
constexpr int kCaptionPoints = 8;
constexpr int kArrowSize = 16;

QPolygon Triangle(bool pointsLeft, QPoint offset) {
  QPolygon t = pointsLeft ? QPolygon({QPoint(3, 8), QPoint(11, 2), QPoint(11, 14)})
                          : QPolygon({QPoint(12, 8), QPoint(4, 2), QPoint(4, 14)});
  t.translate(offset);
  return t;
}

// A teal triangle with a black outline; disabled, the embossed grey look of a
// disabled glyph.
QIcon ArrowIcon(bool pointsLeft) {
  QPixmap normal(kArrowSize, kArrowSize);
  normal.fill(Qt::transparent);
  {
    QPainter p(&normal);
    p.setPen(Qt::black);
    p.setBrush(kArrowFill);
    p.drawPolygon(Triangle(pointsLeft, {0, 0}));
  }
  QPixmap disabled(kArrowSize, kArrowSize);
  disabled.fill(Qt::transparent);
  {
    QPainter p(&disabled);
    p.setPen(Qt::white);
    p.setBrush(Qt::white);
    p.drawPolygon(Triangle(pointsLeft, {1, 1}));
    p.setPen(QColor(128, 128, 128));
    p.setBrush(QColor(128, 128, 128));
    p.drawPolygon(Triangle(pointsLeft, {0, 0}));
  }
  QIcon icon;
  icon.addPixmap(normal, QIcon::Normal);
  icon.addPixmap(disabled, QIcon::Disabled);
  return icon;
}

}  // namespace

QColor ToColour(Rgb c) { return QColor(c.r, c.g, c.b); }

// ---- KeypadButton -------------------------------------------------------------------

KeypadButton::KeypadButton(PanelKey key, QWidget* parent) : QToolButton(parent), key_(key) {
  // Like the amplifier's own keys, the buttons never take the focus: keys typed
  // in the window belong to the window's keyboard map.
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
  setAutoRaise(false);
  // The captions are arrows and padding; a screen reader says what they mean.
  const std::string_view spoken = SpokenKeyName(key);
  setAccessibleName(QString::fromLatin1(spoken.data(), static_cast<qsizetype>(spoken.size())));
}

void KeypadButton::SetLatched(bool latched) {
  if (latched_ == latched) return;
  latched_ = latched;
  update();
}

void KeypadButton::SetArrow(const QIcon& arrow, bool leftOfCaption) {
  arrow_ = arrow;
  arrowLeft_ = leftOfCaption;
  setIcon(arrow_);
}

void KeypadButton::actionEvent(QActionEvent* event) {
  // Every change of the action (enabled, caption) takes over the action's
  // icon, which has none.
  QToolButton::actionEvent(event);
  if (!arrow_.isNull()) setIcon(arrow_);
}

void KeypadButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  const bool sunken = latched_ || isDown();
  if (latched_) {
    // The style draws a sunken button only where the press is on the button
    // part of the control.
    option.state |= QStyle::State_Sunken;
    option.activeSubControls |= QStyle::SC_ToolButton;
  }
  if (arrow_.isNull()) {
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
    return;
  }
  // Image and caption as one centred group, the image on the side it points
  // to, so that the left and right buttons of a pair mirror each other.
  const QString text = option.text.trimmed();
  option.text.clear();
  option.icon = QIcon();
  painter.drawComplexControl(QStyle::CC_ToolButton, option);

  const int shiftX =
      sunken ? style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this) : 0;
  const int shiftY =
      sunken ? style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this) : 0;
  const int gap = text.isEmpty() ? 0 : 3;
  const int textWidth = fontMetrics().horizontalAdvance(text);
  const int left = (width() - (kArrowSize + gap + textWidth)) / 2 + shiftX;
  const int imageX = arrowLeft_ ? left : left + textWidth + gap;
  const int textX = arrowLeft_ ? left + kArrowSize + gap : left;
  const QPixmap image =
      arrow_.pixmap(QSize(kArrowSize, kArrowSize), isEnabled() ? QIcon::Normal : QIcon::Disabled);
  painter.drawPixmap(imageX, (height() - kArrowSize) / 2 + shiftY, image);
  style()->drawItemText(&painter, QRect(textX, shiftY, textWidth, height()),
                        Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), text,
                        QPalette::ButtonText);
}

// ---- KeypadWindow ---------------------------------------------------------------------

namespace {

std::array<int, kPanelKeyCount> PanelsOf(std::span<const ButtonPlace> buttons) {
  std::array<int, kPanelKeyCount> panel{};
  panel.fill(ButtonStates::kNoButton);
  for (const ButtonPlace& b : buttons) panel[Index(b.key)] = b.panel;
  return panel;
}

}  // namespace

KeypadWindow::KeypadWindow(const QString& caption, QSize client, const KeyActionSet& actions,
                           const KeyMap& keys, std::span<const PanelPlace> panels,
                           std::span<const ButtonPlace> buttons, QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      actions_(actions),
      keys_(keys),
      states_(PanelsOf(buttons)) {
  setWindowTitle(caption);
  setFixedSize(client);

  for (const PanelPlace& p : panels) {
    auto* panel = new QFrame(this);
    panel->setObjectName(p.name);
    // A lowered outer and a raised inner bevel: an etched groove.
    panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setMidLineWidth(0);
    panel->setGeometry(p.left, p.top, p.width, p.height);
    panels_.push_back(panel);
  }

  QFont font(QStringLiteral("Arial"));
  font.setPointSize(kCaptionPoints);
  for (const ButtonPlace& b : buttons) {
    auto* button = new KeypadButton(b.key, panels_[static_cast<std::size_t>(b.panel)]);
    button->setObjectName(b.name);
    button->setFont(font);
    button->setGeometry(b.left, b.top, b.width, b.height);
    if (QAction* action = actions_[Index(b.key)]) {
      button->setDefaultAction(action);
      button->SetAcceleratorLetter(Accelerator(action->text().toStdString()));
    }
    if (b.arrow != ArrowImage::kNone) {
      const bool left = b.arrow == ArrowImage::kLeftOfCaption;
      button->SetArrow(ArrowIcon(left), left);
      button->setIconSize(QSize(kArrowSize, kArrowSize));
      button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
      button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    if (b.key == PanelKey::kOn || b.key == PanelKey::kOff) {
      QPalette palette = button->palette();
      palette.setColor(QPalette::Active, QPalette::ButtonText,
                       b.key == PanelKey::kOn ? kOnCaption : kOffCaption);
      palette.setColor(QPalette::Inactive, QPalette::ButtonText,
                       b.key == PanelKey::kOn ? kOnCaption : kOffCaption);
      button->setPalette(palette);
    }
    buttons_[Index(b.key)] = button;
    order_.push_back(button);
  }
}

void KeypadWindow::Sync() {
  for (KeypadButton* button : order_) button->SetLatched(states_.Down(button->Key()));
}

void KeypadWindow::Execute(PanelKey key) {
  QAction* action = actions_[Index(key)];
  if (action != nullptr && action->isEnabled()) action->trigger();
}

void KeypadWindow::HandleKeyDown(std::uint16_t key, bool ctrl) {
  const std::optional<PanelKey> run = KeyDown(keys_, states_, key, ctrl);
  Sync();
  if (run) Execute(*run);
}

void KeypadWindow::HandleKeyUp(std::uint16_t key, bool ctrl) {
  KeyUp(keys_, states_, key, ctrl);
  Sync();
}

void KeypadWindow::ClickAccelerator(char typed) {
  const char letter = Accelerator(std::string{'&', typed});
  for (KeypadButton* button : order_) {
    if (button->AcceleratorLetter() == letter && button->isEnabled()) {
      // At once and exactly once: animateClick would restart its timer on
      // every call, merging a held or fast-typed letter into one click and
      // letting a later letter overtake it.
      button->click();
      // A short pressed look, decoration only.
      button->setDown(true);
      QTimer::singleShot(kPressLook, button, [button] { button->setDown(false); });
      return;
    }
  }
}

void KeypadWindow::keyPressEvent(QKeyEvent* event) {
  const KeyInput in = ToKeyInput(*event);
  // A repeated press counts as one more press.
  HandleKeyDown(in.vk, in.ctrl);
  if (in.typed != 0) ClickAccelerator(in.typed);
  event->accept();
}

void KeypadWindow::keyReleaseEvent(QKeyEvent* event) {
  // Qt reports keyboard repeat as release and press pairs: only the real
  // release lets the key go.
  if (!event->isAutoRepeat()) {
    const KeyInput in = ToKeyInput(*event);
    HandleKeyUp(in.vk, in.ctrl);
  }
  event->accept();
}

void KeypadWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

}  // namespace amppanel
