// The upload conversation with the amplifier's loader, with the status texts
// shown in the display. Runs on a one-shot worker after polling has been
// stopped: the upload owns the link for its whole run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/BuildProfile.h"
#include "core/Clock.h"
#include "core/OneShotWorker.h"
#include "link/Link.h"
#include "link/LinkStatus.h"
#include "update/Package.h"
#include "update/UpdateError.h"

namespace amppanel {

// ---- status texts (each row exactly 40 characters) ----
inline constexpr std::string_view kValidatingText = "    PACKAGE VALIDATION IN PROGRESS...   ";
inline constexpr std::string_view kStartingText = "       STARTING FIRMWARE UPDATE...      ";
inline constexpr std::string_view kSucceededText = "    FIRMWARE SUCCESSFULLY UPDATED...    ";
inline constexpr std::string_view kFailedText =
    "             PROCESS FAILED.            \n       FIRMWARE UPDATE ABORTED...       ";
inline constexpr std::string_view kInterruptedText =
    "          PROCESS INTERRUPTED.          \n       FIRMWARE UPDATE ABORTED...       ";
// "    FIRMWARE UPDATE IN PROGRESS:%3d%%    " with the percentage.
std::string ProgressText(int percent);
// The percentages shown after each of `blocks` blocks: (k x (10000 div N)) div 100.
std::vector<int> ProgressPercents(int blocks);

// ---- key codes of the conversation ----
inline constexpr std::uint8_t kArmLoaderCode = 100;    // the operator is choosing a package
inline constexpr std::uint8_t kCancelCode = 101;       // dialog cancelled or upload failed
inline constexpr std::uint8_t kStartLoaderCode = 102;  // must be acknowledged
inline constexpr std::uint8_t kFinishCode = 103;       // ends a successful upload

// ---- timings and retries ----
inline constexpr milliseconds kIdentificationWait{3000};  // serial, step 3
inline constexpr milliseconds kUsbRetryPause{500};        // USB, after a failed data frame
inline constexpr milliseconds kUsbUploadTimeout{3000};  // USB read/write time-outs during an upload
inline constexpr milliseconds kUsbNormalTimeout{1200};  // and afterwards
inline constexpr int kStartAttempts = 10;
inline constexpr int kAnnounceAttempts = 3;
inline constexpr int kDataAttempts = 3;
inline constexpr int kUsbTimeoutLocation = 1414;

// ---- frames and answers (pure; no I/O) ----
std::vector<std::uint8_t> IdentificationRequest();  // 55 55 55 01 81 81
std::vector<std::uint8_t> AnnouncementHead();       // 55 55 55 02 C0
std::uint8_t AnnouncementCheck(std::uint8_t tag);   // (0xC0 + tag) mod 256
std::vector<std::uint8_t> DataFrameHead();          // 55 55 55 00
std::vector<std::uint8_t> EndFrame();               // 55 55 55 01 CF CF
// The identification byte of an accepted 8-byte identification answer.
std::optional<std::uint8_t> AcceptIdentification(std::span<const std::uint8_t> answer);
bool AcceptAck(std::span<const std::uint8_t> answer);  // exactly 55 55 55 01 06 06
// Exactly 9 bytes whose bytes 5 to 8 (1-based, little-endian) are `expected`.
bool AcceptSumAnswer(std::span<const std::uint8_t> answer, std::uint32_t expected);

// ---- the session's side ----

enum class UploadResult {
  kSucceeded,     // the closing exchange was accepted, 103 sent, ON pulsed
  kUpdateFailed,  // Upd_Exception: "PROCESS FAILED.", error box, 101 sent
  kLinkFailed,    // FT_Exception: "PROCESS INTERRUPTED.", ReportLinkFailure, nothing sent
};

struct UploadOutcome {
  UploadResult result = UploadResult::kSucceeded;
  std::string message;  // the exception's text on failure
  int blocks = 0;       // blocks validated (0 when validation failed)
};

// Everything UploadFirmware needs. The callbacks run on the worker; each one
// that is empty is skipped. Status texts go to the worker's ReportStatus.
struct UploadContext {
  Link& link;
  const BuildProfile& profile;
  std::string packagePath;  // from the file dialog; also the tail of every failure message

  // Step 1: disable actLoadUpdate, actClose, actExit, actKeypad (serial:
  // actJKeypad) and the key actions.
  std::function<void()> disableActions;
  // Upd_Exception: the error box with this message (blocks until it is closed).
  std::function<void(const std::string&)> showError;
  // FT_Exception: ReportLinkFailure (serial: also the AutoConfigConnection broadcast).
  std::function<void(const FT_Exception&)> reportLinkFailure;
  // Step 14, success only: PulseOnLine (ON line for 1000 ms, polling started when
  // no poll worker exists); USB: then EnableKeyActions.
  std::function<void()> pulseOnLine;
  // Step 15, on every path, after the file was closed and (USB) the time-outs
  // restored: enable the actions of step 1; serial: EnableKeyActions; StartPolling
  // when no poll worker exists.
  std::function<void(const UploadOutcome&)> finish;
};

// USB program, before the worker starts: time-outs of 3000 ms,
// a failing status raised as FT_Exception with location 1414. Serial: nothing.
void PrepareLinkForUpload(Link& link, const BuildProfile& profile);

// The work procedure: the whole conversation for the context's program. Waits
// go through the worker's clock. An exception other than Upd_Exception and
// FT_Exception runs the final steps and then leaves the worker.
UploadOutcome UploadFirmware(OneShotWorker& worker, const UploadContext& context);

}  // namespace amppanel
