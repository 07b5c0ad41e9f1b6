#include "update/Upload.h"

#include <array>
#include <cstdio>
#include <exception>
#include <optional>

#include "protocol/Frames.h"

namespace amppanel {
namespace {

constexpr std::uint8_t kIdentifyCode = 0x81;
constexpr std::uint8_t kAnnounceCode = 0xC0;
constexpr std::uint8_t kEndCode = 0xCF;
constexpr std::array<std::uint8_t, 6> kIdentificationAnswerHead{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x02};
constexpr std::array<std::uint8_t, 6> kAck{0x55, 0x55, 0x55, 0x01, 0x06, 0x06};
constexpr std::size_t kIdentificationAnswerSize = 8;
constexpr std::size_t kSumAnswerSize = 9;

// USB location numbers of the upload's own link calls.
namespace at {
constexpr int kAnnounceHead = 1592;
constexpr int kAnnounceTag = 1593;
constexpr int kAnnounceCheck = 1594;
constexpr int kDataHead = 1620;
constexpr int kDataBytes = 1621;
constexpr int kDataCheck = 1622;
constexpr int kEndFrame = 1659;
constexpr int kFinishFrame = 1682;
constexpr int kReadAck = 1758;
constexpr int kReadSum = 1794;
}  // namespace at

class Upload {
 public:
  Upload(OneShotWorker& worker, const UploadContext& context)
      : worker_(worker), ctx_(context), usb_(context.profile.link == LinkKind::kUsb) {}

  UploadOutcome Run() {
    UploadOutcome outcome;
    std::exception_ptr unexpected;
    std::optional<FT_Exception> linkFailure;
    try {
      Body(outcome);
    } catch (const Upd_Exception& e) {
      outcome.result = UploadResult::kUpdateFailed;
      outcome.message = e.what();
    } catch (const FT_Exception& e) {
      outcome.result = UploadResult::kLinkFailed;
      outcome.message = e.what();
      linkFailure = e;
    } catch (...) {
      unexpected = std::current_exception();
    }
    if (!unexpected) {
      try {
        if (outcome.result == UploadResult::kUpdateFailed) {
          Report(kFailedText);
          if (ctx_.showError) ctx_.showError(outcome.message);
          SendKey(kCancelCode);
        } else if (outcome.result == UploadResult::kLinkFailed) {
          Report(kInterruptedText);
          if (ctx_.reportLinkFailure) ctx_.reportLinkFailure(*linkFailure);
        }
      } catch (...) {
        unexpected = std::current_exception();
      }
    }
    FinalSteps(outcome, unexpected != nullptr);
    if (unexpected) std::rethrow_exception(unexpected);
    return outcome;
  }

 private:
  void Body(UploadOutcome& outcome) {
    // Steps 1 and 2.
    if (ctx_.disableActions) ctx_.disableActions();
    Report(kValidatingText);

    // Step 3: the serial program asks for the identification byte.
    std::uint8_t identification = kDefaultIdentificationByte;
    if (usb_) {
      ctx_.link.Drain();
    } else {
      ctx_.link.Write(IdentificationRequest());
      std::array<std::uint8_t, kIdentificationAnswerSize> answer{};
      const LinkResult r = ctx_.link.Read(answer);
      if (auto id = AcceptIdentification(std::span(answer).first(r.count))) identification = *id;
      worker_.Sleep(kIdentificationWait);
      ctx_.link.Purge();
    }

    // Steps 4 to 7: open, header, validation pass, back to the first block.
    file_.emplace(ctx_.packagePath);
    Fail(!file_->IsOpen(), UpdateErrorKind::kOpen);
    PackageReader reader(*file_, ctx_.profile, ctx_.packagePath);
    reader.ReadHeader(identification);
    const PackageSummary summary = reader.Validate();
    outcome.blocks = summary.blocks;
    reader.Rewind();
    Report(kStartingText);

    // Step 8: start handshake.
    bool started = false;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
      SendKey(kStartLoaderCode);
      started = ReadAck();
      if (!started) PurgeInput();
    }
    Fail(!started, UpdateErrorKind::kConsistency, update_location::kStartCode);

    // Steps 9 and 10. A package without blocks has nothing to transfer (and no
    // progress step to compute): it goes straight to the closing exchange.
    if (summary.blocks > 0) {
      const int step = 10000 / summary.blocks;
      int progress = 0;
      for (int i = 0; i < summary.blocks; ++i) {
        const BlockRecord block = reader.NextBlock();
        SendBlock(block);
        progress += step;
        Report(ProgressText(progress / 100));
      }
    }

    // Steps 11 to 14.
    WriteChecked(EndFrame(), at::kEndFrame);
    Fail(!ReadSumAnswer(summary.packageSum), UpdateErrorKind::kConsistency,
         update_location::kEndFrame);
    Report(kSucceededText);
    WriteChecked(KeyFrame(ctx_.profile, kFinishCode), at::kFinishFrame);
    if (ctx_.pulseOnLine) ctx_.pulseOnLine();
  }

  void SendBlock(const BlockRecord& block) {
    bool announced = false;
    const std::array<std::uint8_t, 1> tag{block.tag};
    const std::array<std::uint8_t, 1> tagCheck{AnnouncementCheck(block.tag)};
    for (int attempt = 0; attempt < kAnnounceAttempts && !announced; ++attempt) {
      WriteChecked(AnnouncementHead(), at::kAnnounceHead);
      WriteChecked(tag, at::kAnnounceTag);
      WriteChecked(tagCheck, at::kAnnounceCheck);
      announced = ReadAck();
      if (!announced) PurgeInput();
    }
    Fail(!announced, UpdateErrorKind::kConsistency, update_location::kAnnouncement);

    bool confirmed = false;
    const std::array<std::uint8_t, 1> dataCheck{static_cast<std::uint8_t>(block.storedSum)};
    for (int attempt = 0; attempt < kDataAttempts && !confirmed; ++attempt) {
      WriteChecked(DataFrameHead(), at::kDataHead);
      WriteChecked(block.data, at::kDataBytes);
      WriteChecked(dataCheck, at::kDataCheck);
      confirmed = ReadSumAnswer(block.storedSum);
      if (!confirmed) {
        PurgeInput();
        if (usb_) worker_.Sleep(kUsbRetryPause);
      }
    }
    Fail(!confirmed, UpdateErrorKind::kConsistency, update_location::kDataFrame);
  }

  void FinalSteps(const UploadOutcome& outcome, bool unexpected) {
    file_.reset();
    if (usb_) ctx_.link.SetTimeouts(kUsbNormalTimeout, kUsbNormalTimeout);  // status not tested
    if (!ctx_.finish) return;
    if (!unexpected) {
      ctx_.finish(outcome);
      return;
    }
    // The unexpected exception is what leaves the worker; a second one from
    // the final steps would only hide it.
    try {
      ctx_.finish(outcome);
    } catch (...) {
    }
  }

  void Report(std::string_view text) { worker_.ReportStatus(std::string(text)); }

  void Fail(bool failed, UpdateErrorKind kind, int location = update_location::kNone) {
    RaiseUpdateError(ctx_.profile, failed, kind, ctx_.packagePath, location);
  }

  // SendKey: the status of a key frame's write is never tested.
  void SendKey(std::uint8_t code) { ctx_.link.Write(KeyFrame(ctx_.profile, code)); }

  // The USB program tests the status of every write the upload makes itself.
  void WriteChecked(std::span<const std::uint8_t> bytes, int location) {
    const LinkResult r = ctx_.link.Write(bytes);
    if (usb_) RaiseLinkError(ctx_.profile, r.status, location);
  }

  // Purge in the serial program; drain (read until nothing more) in the USB one.
  void PurgeInput() {
    if (usb_) {
      ctx_.link.Drain();
    } else {
      ctx_.link.Purge();
    }
  }

  // Serial: one read. USB: reads for the missing bytes until complete or a read
  // returns nothing, each status tested at `location`.
  std::size_t ReadAnswer(std::span<std::uint8_t> into, int location) {
    if (!usb_) return ctx_.link.Read(into).count;
    std::size_t count = 0;
    while (count < into.size()) {
      const LinkResult r = ctx_.link.Read(into.subspan(count));
      RaiseLinkError(ctx_.profile, r.status, location);
      if (r.count == 0) break;
      count += r.count;
    }
    return count;
  }

  bool ReadAck() {
    std::array<std::uint8_t, kAck.size()> answer{};
    const std::size_t n = ReadAnswer(answer, at::kReadAck);
    return AcceptAck(std::span(answer).first(n));
  }

  bool ReadSumAnswer(std::uint32_t expected) {
    std::array<std::uint8_t, kSumAnswerSize> answer{};
    const std::size_t n = ReadAnswer(answer, at::kReadSum);
    return AcceptSumAnswer(std::span(answer).first(n), expected);
  }

  OneShotWorker& worker_;
  const UploadContext& ctx_;
  const bool usb_;
  std::optional<FilePackageInput> file_;
};

}  // namespace

std::string ProgressText(int percent) {
  char text[48];
  std::snprintf(text, sizeof text, "    FIRMWARE UPDATE IN PROGRESS:%3d%%    ", percent);
  return text;
}

std::vector<int> ProgressPercents(int blocks) {
  std::vector<int> percents;
  if (blocks <= 0) return percents;
  const int step = 10000 / blocks;
  int progress = 0;
  for (int k = 0; k < blocks; ++k) {
    progress += step;
    percents.push_back(progress / 100);
  }
  return percents;
}

std::vector<std::uint8_t> IdentificationRequest() {
  return CommandFrame(3, std::array<std::uint8_t, 1>{kIdentifyCode});
}

std::vector<std::uint8_t> AnnouncementHead() {
  return {kCommandSync, kCommandSync, kCommandSync, 0x02, kAnnounceCode};
}

std::uint8_t AnnouncementCheck(std::uint8_t tag) {
  return static_cast<std::uint8_t>(kAnnounceCode + tag);
}

std::vector<std::uint8_t> DataFrameHead() {
  return {kCommandSync, kCommandSync, kCommandSync, 0x00};
}

std::vector<std::uint8_t> EndFrame() {
  return CommandFrame(3, std::array<std::uint8_t, 1>{kEndCode});
}

std::optional<std::uint8_t> AcceptIdentification(std::span<const std::uint8_t> answer) {
  if (answer.size() != kIdentificationAnswerSize) return std::nullopt;
  if (!std::equal(kIdentificationAnswerHead.begin(), kIdentificationAnswerHead.end(),
                  answer.begin()))
    return std::nullopt;
  if (static_cast<std::uint8_t>(answer[5] + answer[6]) != answer[7]) return std::nullopt;
  return answer[6];
}

bool AcceptAck(std::span<const std::uint8_t> answer) {
  return answer.size() == kAck.size() && std::equal(kAck.begin(), kAck.end(), answer.begin());
}

bool AcceptSumAnswer(std::span<const std::uint8_t> answer, std::uint32_t expected) {
  if (answer.size() != kSumAnswerSize) return false;
  const std::uint32_t sum =
      static_cast<std::uint32_t>(answer[4]) | (static_cast<std::uint32_t>(answer[5]) << 8) |
      (static_cast<std::uint32_t>(answer[6]) << 16) | (static_cast<std::uint32_t>(answer[7]) << 24);
  return sum == expected;
}

void PrepareLinkForUpload(Link& link, const BuildProfile& profile) {
  if (profile.link != LinkKind::kUsb) return;
  RaiseLinkError(profile, link.SetTimeouts(kUsbUploadTimeout, kUsbUploadTimeout),
                 kUsbTimeoutLocation);
}

UploadOutcome UploadFirmware(OneShotWorker& worker, const UploadContext& context) {
  return Upload(worker, context).Run();
}

}  // namespace amppanel
