// AmpPanel_USB: the remote front panel over the amplifier's FTDI USB interface.
#include "link/usb/UsbLink.h"
#include "ui/MainWindow.h"
#include "ui/PanelMain.h"
#include "ui/UsbPreferencesDialog.h"

int main(int argc, char** argv) {
  using namespace amppanel;
  return RunPanel(
      argc, argv, UsbProfile(), [] { return std::make_unique<UsbLink>(UsbProfile()); },
      [](MainWindow& form) {
        return std::make_unique<UsbPreferencesDialog>(form.Profile(), &form);
      });
}
