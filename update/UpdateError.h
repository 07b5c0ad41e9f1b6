// Failures of a firmware update: the five operator texts, the update failure
// exception and RaiseUpdateError.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/BuildProfile.h"

namespace amppanel {

// The kinds of update failure; the numbers are the ones the operator's texts use.
enum class UpdateErrorKind : int {
  kOpen = 0,            // the package cannot be opened
  kRead = 1,            // a read returned fewer bytes than needed (also: no end record)
  kAuthentication = 2,  // the header is not ".PK1" (nor, serial, unscrambled)
  kConsistency = 3,     // a sum does not match, or the loader refused
  kGeneral = 4,         // any other kind: never raised by the upload
};

// A failure of the firmware update; carries exactly the text shown to the operator.
class Upd_Exception : public std::runtime_error {
 public:
  explicit Upd_Exception(const std::string& message) : std::runtime_error(message) {}
};

// Location numbers of the USB program's kind-3 failures (none elsewhere).
namespace update_location {
inline constexpr int kNone = 0;
inline constexpr int kBlockSum = 1519;
inline constexpr int kPackageSum = 1527;
inline constexpr int kStartCode = 1560;
inline constexpr int kAnnouncement = 1604;
inline constexpr int kDataFrame = 1634;
inline constexpr int kEndFrame = 1660;
}  // namespace update_location

// The text of a kind, without the path: "Read error while processing file:\n  " ...
std::string_view UpdateErrorText(UpdateErrorKind kind);

// The message of a failure: the text of the kind, then the package path; in the
// USB program, for a location above 0, then "\r#[location]" after a blank
// (formatted "%s \r#[%d]").
std::string UpdateErrorMessage(const BuildProfile& profile, UpdateErrorKind kind,
                               std::string_view packagePath, int location = update_location::kNone);

// Throws Upd_Exception with UpdateErrorMessage when failed is set; else nothing.
void RaiseUpdateError(const BuildProfile& profile, bool failed, UpdateErrorKind kind,
                      std::string_view packagePath, int location = update_location::kNone);

}  // namespace amppanel
