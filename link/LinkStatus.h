// Link status numbers, their operator texts and the link failure exception.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/BuildProfile.h"

namespace amppanel {

inline constexpr int kLinkOk = 0;
inline constexpr int kLinkCantOpen = 1;
inline constexpr int kLinkDeviceNotFound = 2;
inline constexpr int kLinkIoError = 4;
inline constexpr int kLinkAborted = 1000;

inline constexpr int kLinkStatusCount = 22;
inline constexpr int kLinkAbortedEntry = 21;

// A failure of the link; carries exactly the text shown to the operator.
class FT_Exception : public std::runtime_error {
 public:
  explicit FT_Exception(const std::string& message) : std::runtime_error(message) {}
};

// The table text of a status number (0-21) in the given program.
std::string_view LinkStatusText(const BuildProfile& profile, int entry);

// Returns for status 0 or below; otherwise throws FT_Exception with the table text,
// followed by "  #[location]" unless location is negative. Statuses of 22 and
// above (the operator's abort is 1000) use entry 21.
void RaiseLinkError(const BuildProfile& profile, int status, int location);

}  // namespace amppanel
