#include "link/LinkStatus.h"

#include <array>
#include <string>

namespace amppanel {
namespace {

constexpr std::array<std::string_view, kLinkStatusCount> kCommonTexts = {
    "FT_OK",
    "",  // differs by program
    "USB DEVICE NOT FOUND...",
    "FT_DEVICE_NOT_OPENED",
    "",  // differs by program
    "FT_INSUFFICIENT_RESOURCES",
    "FT_INVALID_PARAMETER",
    "FT_INVALID_BAUD_RATE",
    "FT_DEVICE_NOT_OPENED_FOR_ERASE",
    "FT_DEVICE_NOT_OPENED_FOR_WRITE",
    "FT_FAILED_TO_WRITE_DEVICE",
    "FT_EEPROM_READ_FAILED",
    "FT_EEPROM_WRITE_FAILED",
    "FT_EEPROM_ERASE_FAILED",
    "FT_EEPROM_NOT_PRESENT",
    "FT_EEPROM_NOT_PROGRAMMED",
    "FT_INVALID_ARGS",
    "FT_NOT_SUPPORTED",
    "FT_OTHER_ERROR",
    "FT_DEVICE_LIST_NOT_READY",
    "FT_UNKNOWN_ERROR",
    "PROCESS ABORTED...",
};

}  // namespace

std::string_view LinkStatusText(const BuildProfile& profile, int entry) {
  if (entry < 0 || entry >= kLinkStatusCount) entry = kLinkAbortedEntry;
  if (entry == 1) return profile.linkText1;
  if (entry == 4) return profile.linkText4;
  return kCommonTexts[static_cast<std::size_t>(entry)];
}

void RaiseLinkError(const BuildProfile& profile, int status, int location) {
  if (status <= 0) return;
  const int entry = status >= kLinkStatusCount ? kLinkAbortedEntry : status;
  const std::string_view text = LinkStatusText(profile, entry);
  if (location < 0) throw FT_Exception(std::string(text));
  throw FT_Exception(std::string(text) + "  #[" + std::to_string(location) + "]");
}

}  // namespace amppanel
