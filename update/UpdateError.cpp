#include "update/UpdateError.h"

namespace amppanel {

std::string_view UpdateErrorText(UpdateErrorKind kind) {
  switch (kind) {
    case UpdateErrorKind::kOpen:
      return "I/O error while opening file:\n  ";
    case UpdateErrorKind::kRead:
      return "Read error while processing file:\n  ";
    case UpdateErrorKind::kAuthentication:
      return "Authentication failed while processing file:\n  ";
    case UpdateErrorKind::kConsistency:
      return "Data consistency check failed while processing file:\n  ";
    case UpdateErrorKind::kGeneral:
      break;
  }
  return "General I/O error on file:\n  ";
}

std::string UpdateErrorMessage(const BuildProfile& profile, UpdateErrorKind kind,
                               std::string_view packagePath, int location) {
  std::string message(UpdateErrorText(kind));
  message += packagePath;
  if (profile.link == LinkKind::kUsb && location > 0) {
    message += " \r#[" + std::to_string(location) + "]";
  }
  return message;
}

void RaiseUpdateError(const BuildProfile& profile, bool failed, UpdateErrorKind kind,
                      std::string_view packagePath, int location) {
  if (!failed) return;
  throw Upd_Exception(UpdateErrorMessage(profile, kind, packagePath, location));
}

}  // namespace amppanel
