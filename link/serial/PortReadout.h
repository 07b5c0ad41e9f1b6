// What the connection settings show for a COM port number and a baud index,
// and what a COM number stands for on this machine.
#pragma once

#include <filesystem>
#include <string>

#include "core/BuildProfile.h"
#include "link/serial/ComPortNames.h"

namespace amppanel {

// A port that cannot open stands out from one that may.
inline constexpr Rgb kNoPortColour{255, 255, 0};
inline constexpr Rgb kPortColour{0, 255, 0};
inline constexpr Rgb kReadoutBackground{0, 0, 0};

struct Readout {
  std::string text;
  Rgb colour;
};

// "NONE" for 0, else "COMn".
Readout ComPortReadout(int comPort);
// The rate of a baud index as digits; an index outside the table shows the
// rate the link would use for it.
std::string BaudReadout(int baudIndex);

// Where COM port n leads on a POSIX system.
struct ComPortLocation {
  // The link in the ports folder that the number would be (or is) looked up
  // as; empty without a ports folder.
  std::filesystem::path portsLink;
  bool viaPortsLink = false;
  // What the link's target says, for a link whose target is missing.
  std::filesystem::path linkTarget;
  // The device reached, links followed; empty when nothing is there.
  std::filesystem::path device;
  // A name of the same device that survives replugging (/dev/serial/by-id).
  std::filesystem::path stableName;
  // The ports folder entry is a file, not a link: a port on another machine,
  // reached by the connection string it holds (empty when it holds none).
  bool remoteFile = false;
  std::string remoteTarget;
};

ComPortLocation LocateComPort(int comPort, const PortSearch& search,
                              const std::filesystem::path& byIdDir);
// The tool tip of the COM read-out: what the number opens here, or how to
// give it a device.
std::string ComPortExplanation(int comPort, const ComPortLocation& location);
// The same for this machine; empty where COM numbers are the system's own
// port names and need no explaining.
std::string ComPortExplanationHere(int comPort);

}  // namespace amppanel
