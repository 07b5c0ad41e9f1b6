// AmpPanel_232: the remote front panel over a serial port.
#include "ui/PanelMain.h"
#include "link/serial/SerialLink.h"

int main(int argc, char** argv) {
  using namespace amppanel;
  return RunPanel(argc, argv, SerialProfile(), [] { return std::make_unique<SerialLink>(); });
}
