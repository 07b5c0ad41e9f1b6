#include "display/StatusTexts.h"

#include <cstdio>

#include "link/serial/SerialLink.h"

namespace amppanel {
namespace {

std::string Format(const char* format, int value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

StatusTexts MakeStatusTexts(const StatusInputs& in) {
  StatusTexts t;
  if (!in.onLine) {
    t.panels[0] = "OFF-LINE";
  } else if (in.lineLost) {
    // Instead of claiming a link that carries nothing.
    t.panels[0] = "NO LINK";
  } else {
    t.panels[0] = in.frozen ? "STILL IMAGE" : "ON-LINE";
  }
  t.panels[1] = Format("F%1d", in.presetItem);
  // The original counts the drawn area one pixel larger each way.
  const int width = in.displayWidth + 1;
  const int height = in.displayHeight + 1;
  t.panels[2] = Format("W: %4d", width);
  t.panels[3] = Format("H: %4d", height);
  if (in.serial) {
    if (in.link.comPort != 0) {
      t.panels[4] = Format("Port: COM%d", in.link.comPort);
      t.panels[5] = Format("Baud Rate: %d", BaudForIndex(in.link.baudIndex));
      t.panels[6] = "8, 1, N";
    } else {
      t.panels[4] = "Port: NONE";
      t.panels[5] = "";
    }
  } else {
    t.panels[4] = in.link.usbIdEnabled ? "USB_ID: [" + in.link.usbIdString + "]"
                                       : std::string("USB_ID: Not enabled");
  }
  char hint[48];
  std::snprintf(hint, sizeof hint, "W: %4d; H: %4d", width, height);
  t.hint = hint;
  return t;
}

}  // namespace amppanel
