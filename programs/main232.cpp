// AmpPanel_232: the remote front panel over a serial port.
#include "link/serial/ComPortLink.h"
#include "ui/ComPortDialog.h"
#include "ui/MainWindow.h"
#include "ui/PanelMain.h"

int main(int argc, char** argv) {
  using namespace amppanel;
  return RunPanel(
      argc, argv, SerialProfile(), [] { return std::make_unique<ComPortLink>(); },
      [](MainWindow& form) { return MakeComPortDialog(&form); });
}
