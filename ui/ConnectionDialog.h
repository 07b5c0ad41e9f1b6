// The connection settings dialog of a program: the serial program edits the
// COM port and baud rate, the USB program the device's ID string. Each program
// entry hands its own to the main window.
#pragma once

#include "link/Link.h"

namespace amppanel {

class ConnectionDialog {
 public:
  virtual ~ConnectionDialog() = default;
  // Shows the dialog modally over the main window with `settings` as they are;
  // on OK writes the operator's choice back and returns true. Cancel changes
  // nothing.
  virtual bool Edit(LinkSettings& settings) = 0;
};

}  // namespace amppanel
