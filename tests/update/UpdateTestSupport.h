// Shared by the update tests: package files in a private folder, a scripted
// loader, and one upload run on a real worker with this thread as UI thread.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/OneShotWorker.h"
#include "protocol/Frames.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScriptedLink.h"
#include "update/Package.h"
#include "update/PackageWriter.h"
#include "update/Upload.h"

namespace amppanel::test {

// An image of n bytes that differ from block to block.
inline Bytes Image(std::size_t n, unsigned seed = 1) {
  Bytes image(n);
  for (std::size_t i = 0; i < n; ++i)
    image[i] = static_cast<std::uint8_t>((i * (seed + 6)) ^ (i >> 9));
  return image;
}

inline Bytes PackageOf(int blocks, PackageOptions options = {}) {
  return BuildPackage(Image(static_cast<std::size_t>(blocks) * kBlockDataSize), options);
}

// A private folder, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ =
        std::filesystem::temp_directory_path() /
        ("amp-update-" + std::string(info ? info->name() : "x") + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Answers the upload's writes the way the loader does; every answer can be
// replaced to test what the upload makes of it.
struct ScriptedLoader {
  enum class Next { kFrame, kAnnounceTag, kAnnounceCheck, kData, kDataCheck };

  Bytes Answer(const Bytes& w) {
    switch (next) {
      case Next::kAnnounceTag:
        next = Next::kAnnounceCheck;
        return {};
      case Next::kAnnounceCheck:
        next = Next::kFrame;
        return announceAnswer;
      case Next::kData:
        lastSum = BlockSum(w);
        next = Next::kDataCheck;
        return {};
      case Next::kDataCheck:
        next = Next::kFrame;
        blockSum = lastSum;  // a repeated data frame replaces the block
        return sumAnswer ? sumAnswer(lastSum) : DefaultSum(lastSum);
      case Next::kFrame:
        break;
    }
    if (w == IdentificationRequest()) return identificationAnswer;
    if (w == AnnouncementHead()) {
      total += blockSum;
      blockSum = 0;
      next = Next::kAnnounceTag;
      return {};
    }
    if (w == DataFrameHead()) {
      next = Next::kData;
      return {};
    }
    if (w == EndFrame()) {
      total += blockSum;
      blockSum = 0;
      return endAnswer ? endAnswer(total) : DefaultSum(total);
    }
    if (w.size() >= 6 && w[w.size() - 2] == kStartLoaderCode) return startAnswer;
    return {};
  }
  static Bytes DefaultSum(std::uint32_t sum) {
    return CommandFrame(
        3, Bytes{static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8),
                 static_cast<std::uint8_t>(sum >> 16), static_cast<std::uint8_t>(sum >> 24)});
  }

  Next next = Next::kFrame;
  std::uint32_t lastSum = 0;
  std::uint32_t blockSum = 0;
  std::uint32_t total = 0;
  Bytes ack{0x55, 0x55, 0x55, 0x01, 0x06, 0x06};
  Bytes identificationAnswer{0xAA, 0xAA, 0xAA, 0x02, 0xFD, 0x02, 0x5A, 0x5C};
  Bytes startAnswer = ack;
  Bytes announceAnswer = ack;
  std::function<Bytes(std::uint32_t)> sumAnswer;  // data frames; empty: the right answer
  std::function<Bytes(std::uint32_t)> endAnswer;  // the end frame; empty: the right answer
};

// A scripted link that also records the USB program's drains and time-outs.
class RecordingLink : public ScriptedLink {
 public:
  void Drain() override {
    ++drains;
    ScriptedLink::Drain();
  }
  int SetTimeouts(milliseconds read, milliseconds write) override {
    timeouts.emplace_back(read, write);
    return timeoutStatus;
  }
  std::atomic<int> drains{0};
  std::vector<std::pair<milliseconds, milliseconds>> timeouts;
  int timeoutStatus = 0;
};

// One upload on a real worker; this thread serves as its UI thread.
struct UploadRun {
  explicit UploadRun(Link& l, const BuildProfile& p = SerialProfile()) : link(l), profile(p) {}

  UploadOutcome Go(const std::string& path) {
    UploadContext context{
        .link = link,
        .profile = profile,
        .packagePath = path,
        .disableActions = [this] { events.push_back("disable"); },
        .showError =
            [this](const std::string& text) {
              events.push_back("error box");
              errorBox = text;
            },
        .reportLinkFailure =
            [this](const FT_Exception& e) {
              events.push_back("link failure");
              linkFailure = e.what();
            },
        .pulseOnLine = [this] { events.push_back("pulse"); },
        .finish =
            [this](const UploadOutcome& o) {
              events.push_back("finish");
              finished = o;
            },
    };
    if (onDisable) context.disableActions = onDisable;
    UploadOutcome outcome;
    auto worker = std::make_unique<OneShotWorker>(
        ui, clock, [&](OneShotWorker& t) { outcome = UploadFirmware(t, context); },
        [this](OneShotWorker& t) {
          statuses.push_back(t.StatusText());
          events.push_back("status");
        });
    worker->WaitFor();
    unexpected = worker->UnexpectedError();
    return outcome;
  }

  // The progress texts among the statuses.
  std::vector<std::string> Progress() const {
    std::vector<std::string> texts;
    for (const auto& s : statuses) {
      if (s.find("IN PROGRESS:") != std::string::npos) texts.push_back(s);
    }
    return texts;
  }

  Link& link;
  const BuildProfile& profile;
  QueueUiThread ui;
  ManualClock clock;
  std::function<void()> onDisable;
  std::vector<std::string> statuses;
  std::vector<std::string> events;
  std::string errorBox;
  std::string linkFailure;
  std::string unexpected;
  std::optional<UploadOutcome> finished;
};

}  // namespace amppanel::test
