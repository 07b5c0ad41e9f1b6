// The USB program's connection settings: the ID string of the one attached
// device, and whether the link opens the device by it.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "link/usb/UsbDevices.h"
#include "link/usb/UsbIdChoice.h"
#include "ui/ConnectionDialog.h"
#include "ui/Dialogs.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace amppanel {

struct BuildProfile;

class UsbPreferencesDialog final : public QDialog, public ConnectionDialog {
  Q_OBJECT

 public:
  using DeviceLister = std::function<UsbDeviceList()>;
  // `listDevices` answers "Acquire ID string"; by default the program's own
  // D2XX driver, loaded when the button is pressed.
  UsbPreferencesDialog(const BuildProfile& profile, QWidget* parent,
                       DeviceLister listDevices = DefaultLister());
  // Replaces the dialog's message boxes (tests answer them).
  void SetDialogs(std::unique_ptr<Dialogs> boxes);

  // Loads the ID fields of `settings`, shows the dialog centred on the screen
  // and, on OK, writes them back.
  bool Edit(LinkSettings& settings) override;

  // What the dialog shows now (and OK would store).
  const UsbIdChoice& Choice() const { return choice_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  static DeviceLister DefaultLister();
  void IdCheckToggled(bool checked);
  void AcquireIdString();
  void ShowChoice();
  void StyleIdReadout();
  void CentreOnScreen();

  DeviceLister listDevices_;
  std::unique_ptr<Dialogs> boxes_;
  UsbIdChoice choice_{LinkSettings{}};
  // The check box acts only while the dialog is on screen: loading it for an
  // opening must not undo what was stored.
  bool onScreen_ = false;
  QLabel* idReadout_ = nullptr;
  QCheckBox* idCheck_ = nullptr;
  QPushButton* acquire_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace amppanel
