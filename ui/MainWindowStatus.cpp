// Around the mirrored display: the PC's own text lines, Freeze, the still
// image and the status bar.
#include <QAction>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <span>

#include "display/StatusTexts.h"
#include "display/StillImage.h"
#include "display/TextLines.h"
#include "ui/ActionNames.h"
#include "ui/DisplayView.h"
#include "ui/MainWindow.h"

namespace amppanel {
namespace {

constexpr int kStatusPanelHeight = 17;
constexpr int kStatusPanelGap = 2;
constexpr int kStatusFontPixels = 11;

struct PanelLayout {
  int width;
  Qt::Alignment alignment;
  // For screen readers, which read the panel's text as its name: what it tells.
  const char* description;
};

constexpr PanelLayout kSerialPanels[] = {
    {60, Qt::AlignCenter, "Connection"},    {30, Qt::AlignCenter, "Size preset"},
    {60, Qt::AlignCenter, "Display width"}, {60, Qt::AlignCenter, "Display height"},
    {100, Qt::AlignCenter, "Port"},         {110, Qt::AlignCenter, "Baud rate"},
    {50, Qt::AlignCenter, "Line format"},   {50, Qt::AlignLeft, ""}};
constexpr PanelLayout kUsbPanels[] = {
    {70, Qt::AlignCenter, "Connection"},    {30, Qt::AlignCenter, "Size preset"},
    {60, Qt::AlignCenter, "Display width"}, {60, Qt::AlignCenter, "Display height"},
    {150, Qt::AlignCenter, "USB ID"},       {150, Qt::AlignLeft, ""}};

// The widest text each panel shows (the USB ID panel's text is the operator's
// own and may be cut off, as the original's is).
struct PanelTexts {
  std::size_t panel;
  std::initializer_list<const char*> texts;
};
const PanelTexts kSerialTexts[] = {
    {0, {"OFF-LINE", "ON-LINE", "STILL IMAGE", "NO LINK"}},
    {1, {"F5"}},
    {2, {"W: 1600"}},
    {3, {"H: 1000"}},
    {4, {"Port: COM256", "Port: NONE"}},
    {5, {"Baud Rate: 115200"}},
    {6, {"8, 1, N"}},
};
const PanelTexts kUsbTexts[] = {
    {0, {"OFF-LINE", "ON-LINE", "STILL IMAGE", "NO LINK"}},
    {1, {"F5"}},
    {2, {"W: 1600"}},
    {3, {"H: 1000"}},
    {4, {"USB_ID: Not enabled"}},
};
constexpr int kPanelTextMargin = 2;  // the sunken frame, one pixel each side

// The largest pixel size, up to kStatusFontPixels, at which every panel's own
// texts fit its width: "STILL IMAGE" has to fit the 60-pixel first panel. (The
// USB ID is the operator's own text and may be cut off.)
int StatusFontPixels(QFont font, std::span<const PanelLayout> layout,
                     std::span<const PanelTexts> texts) {
  for (int pixels = kStatusFontPixels; pixels > 6; --pixels) {
    font.setPixelSize(pixels);
    const QFontMetrics metrics(font);
    const bool fits = std::all_of(texts.begin(), texts.end(), [&](const PanelTexts& p) {
      const int room = layout[p.panel].width - kPanelTextMargin;
      return std::all_of(p.texts.begin(), p.texts.end(), [&](const char* text) {
        return metrics.horizontalAdvance(QString::fromLatin1(text)) <= room;
      });
    });
    if (fits) return pixels;
  }
  return 7;
}

void SetText(QLabel* label, const QString& text) {
  // Only a change is passed on: this runs on every mirrored frame.
  if (label->text() != text) label->setText(text);
}

}  // namespace

void MainWindow::CreateStatusPanels() {
  const bool serial = profile_.link == LinkKind::kSerial;
  const auto layout = serial ? std::span<const PanelLayout>(kSerialPanels)
                             : std::span<const PanelLayout>(kUsbPanels);
  // The panels keep their widths and places however narrow the window gets: a
  // layout would squeeze them into each other, so they sit at fixed places in
  // a strip that simply cuts off what does not fit.
  auto* strip = new QWidget(statusBar());
  strip->setObjectName(QStringLiteral("StatusPanels"));
  strip->setMinimumWidth(0);
  strip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QFont font = strip->font();
  font.setPixelSize(StatusFontPixels(
      font, layout,
      serial ? std::span<const PanelTexts>(kSerialTexts) : std::span<const PanelTexts>(kUsbTexts)));
  strip->setFont(font);
  int left = 0;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    auto* panel = new QLabel(strip);
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panel->setGeometry(left, 0, layout[i].width, kStatusPanelHeight);
    panel->setAlignment(layout[i].alignment | Qt::AlignVCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAccessibleDescription(QString::fromLatin1(layout[i].description));
    statusPanels_.push_back(panel);
    left += layout[i].width + kStatusPanelGap;
  }
  statusBar()->addWidget(strip, 1);
}

QLabel* MainWindow::StatusPanel(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= statusPanels_.size()) return nullptr;
  return statusPanels_[static_cast<std::size_t>(n)];
}

void MainWindow::UpdateStatusBar() {
  if (statusPanels_.empty()) return;
  const QRect drawn = DisplayRect();
  const bool frozen = freeze_->isChecked();
  if (OnLine()) save_->setEnabled(frozen);
  const StatusInputs now{
      .serial = profile_.link == LinkKind::kSerial,
      .presetItem = panel_.presetItem,
      .displayWidth = drawn.width(),
      .displayHeight = drawn.height(),
      .link = Settings(),
      .onLine = OnLine(),
      .lineLost = session_->LineLost(),
      .frozen = frozen,
  };
  if (shownStatus_ == now) return;
  shownStatus_ = now;
  const StatusTexts texts = MakeStatusTexts(now);
  for (std::size_t i = 0; i < statusPanels_.size(); ++i) {
    if (texts.panels[i]) SetText(statusPanels_[i], QString::fromStdString(*texts.panels[i]));
  }
  const QString hint = QString::fromStdString(texts.hint);
  if (toolTip() != hint) setToolTip(hint);
}

void MainWindow::WriteText(int column, int row, std::string_view text) {
  if (DisplayImage* image = Image()) amppanel::WriteText(*image, column, row, text);
  RepaintDisplayChanges();
}

void MainWindow::ClearMessageRows() {
  if (DisplayImage* image = Image()) amppanel::ClearMessageRows(*image);
  RepaintDisplayChanges();
}

// Runs after the action has toggled its own check mark.
void MainWindow::ToggleFreeze() {
  session_->SetFrozen(Action(act::kFreeze)->isChecked());
  RefreshWindowState();
}

void MainWindow::SaveStillImageAs() {
  const DisplayImage* image = Image();
  if (image == nullptr) return;
  FileDialogOptions options;
  options.title = "Save STILL IMAGE as";
  options.filter = "Bitmap file (.bmp) (*.bmp)";
  options.defaultSuffix = "bmp";
  options.confirmOverwrite = true;
  const auto path = dialogs_->SaveFile(options);
  if (!path) return;
  if (const auto error = SaveStillImage(*image, *path)) dialogs_->ErrorBox(*error);
}

}  // namespace amppanel
