// A settings set in which every field differs from its default and from its
// fallback, so that a value read from the wrong name or not at all shows.
#pragma once

#include "platform/Settings.h"

namespace amppanel::test {

inline PanelSettings Customised() {
  PanelSettings s;
  s.usbIdString = "KALDOR-7";
  s.usbIdEnabled = true;
  s.top = 40;
  s.left = 50;
  s.height = 300;
  s.width = 700;
  s.keyTop = 360;
  s.keyLeft = 55;
  s.jKeyTop = 370;
  s.jKeyLeft = 65;
  s.keypadVisible = false;
  s.jKeypadVisible = true;
  s.presetSize = {{{150, 300}, {220, 510}, {290, 760}, {360, 1010}, {500, 1430}}};
  s.presetItem = 4;
  s.comPort = 7;
  s.baudIndex = 2;
  return s;
}

}  // namespace amppanel::test
