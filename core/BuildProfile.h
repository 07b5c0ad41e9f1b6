// Everything that differs between the serial and the USB program, as data.
// Each program's entry picks one profile; tests exercise both in one binary.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace amppanel {

enum class LinkKind { kSerial, kUsb };

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Location numbers appended to link failures raised by the poll step. A negative
// number means the status of that step is not examined.
struct PollLocations {
  int purge = -1;
  int writeQuery = -1;
  int readSync = -1;
  int readLength = -1;
  int readComplement = -1;
  int readType = -1;
  int readStatus = -1;
  int readCheck = -1;
};

struct BuildProfile {
  LinkKind link;
  std::string_view programName;  // error-box caption
  std::string_view caption;      // main window caption
  std::string_view registryKey;  // below HKEY_CURRENT_USER
  std::string_view settingsOrganisation;
  std::string_view settingsApplication;
  std::string_view waitCaption;  // progress window caption
  std::string_view mutexName;
  std::string_view bringToFrontMessage;
  std::string_view autoOpenMessage;
  std::string_view autoConfigMessage;  // empty in the USB program

  // Link status table entries that differ between the two programs.
  std::string_view linkText1;
  std::string_view linkText4;

  // Number of 0x55 sync bytes in key frames and the display query.
  int syncBytes;

  // Location appended to the failure that ends the connection sequence.
  int connectLocation;
  // True where the poll step passes every link status to RaiseLinkError.
  bool pollRaisesLinkErrors;
  // True where the poll step reads sync bytes and data with repeated reads.
  bool pollReadsRepeatedly;
  PollLocations pollLocations;

  // Preset that a stored value outside 1-5 loads as.
  int fallbackPresetItem;

  Rgb onLineBackground;

  // The USB program waits before and after the key sent on connecting.
  std::chrono::milliseconds connectKeyWait;
};

inline constexpr Rgb kOffLineBackground{187, 205, 180};
inline constexpr Rgb kDotColour{0, 0, 0};

const BuildProfile& SerialProfile();
const BuildProfile& UsbProfile();

}  // namespace amppanel
