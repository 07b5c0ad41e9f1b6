#include "update/Package.h"

#include <algorithm>
#include <cstring>

namespace amppanel {
namespace {

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool IsSignature(std::span<const std::uint8_t> header, std::uint8_t key) {
  for (std::size_t i = 0; i < kPackageSignature.size(); ++i) {
    if (static_cast<std::uint8_t>(header[i] ^ key) != kPackageSignature[i]) return false;
  }
  return true;
}

}  // namespace

std::uint32_t BlockSum(std::span<const std::uint8_t> data) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : data) sum += b;
  return sum;
}

// ---- inputs ----

FilePackageInput::FilePackageInput(const std::string& path)
    : file_(std::fopen(path.c_str(), "rb")) {}

FilePackageInput::~FilePackageInput() { Close(); }

void FilePackageInput::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

std::size_t FilePackageInput::Read(std::span<std::uint8_t> buffer) {
  if (file_ == nullptr || buffer.empty()) return 0;
  return std::fread(buffer.data(), 1, buffer.size(), file_);
}

std::uint64_t FilePackageInput::Position() const {
  if (file_ == nullptr) return 0;
  const long at = std::ftell(file_);
  return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

void FilePackageInput::Seek(std::uint64_t position) {
  if (file_ != nullptr) std::fseek(file_, static_cast<long>(position), SEEK_SET);
}

std::size_t MemoryPackageInput::Read(std::span<std::uint8_t> buffer) {
  const std::size_t n = std::min(buffer.size(), bytes_.size() - position_);
  if (n > 0) std::memcpy(buffer.data(), bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void MemoryPackageInput::Seek(std::uint64_t position) {
  position_ = static_cast<std::size_t>(std::min<std::uint64_t>(position, bytes_.size()));
}

// ---- the reader ----

PackageReader::PackageReader(PackageInput& input, const BuildProfile& profile, std::string path)
    : input_(input), profile_(profile), path_(std::move(path)) {}

void PackageReader::ReadExactly(std::span<std::uint8_t> into) {
  RaiseUpdateError(profile_, input_.Read(into) < into.size(), UpdateErrorKind::kRead, path_);
}

bool PackageReader::ReadHeader(std::uint8_t identification) {
  const auto header = std::span(record_).first(kPackageHeaderSize);
  ReadExactly(header);
  bodyOffset_ = input_.Position();
  if (IsSignature(header, 0)) return false;
  const bool unscrambled =
      profile_.link == LinkKind::kSerial && IsSignature(header, HeaderKey(identification));
  RaiseUpdateError(profile_, !unscrambled, UpdateErrorKind::kAuthentication, path_);
  return true;
}

PackageSummary PackageReader::Validate(const std::function<void(const BlockCheck&)>& onBlock) {
  PackageSummary summary;
  std::uint32_t total = 0;  // wraps, as the program's running total does
  const std::span<std::uint8_t> record(record_);
  for (;;) {
    const std::uint64_t recordStart = input_.Position();
    ReadExactly(record.first(1));
    if (record[0] == kEndMarker) {
      ReadExactly(record.subspan(1, 4));
      summary.packageSum = ReadLe32(&record[1]);
      summary.endOffset = recordStart;
      RaiseUpdateError(profile_, summary.packageSum != total, UpdateErrorKind::kConsistency, path_,
                       update_location::kPackageSum);
      return summary;
    }
    ++summary.blocks;
    ReadExactly(record.subspan(1, kBlockDataSize));
    ReadExactly(record.subspan(1 + kBlockDataSize, 4));
    BlockCheck check{.index = summary.blocks - 1,
                     .tag = record[0],
                     .storedSum = ReadLe32(&record[1 + kBlockDataSize]),
                     .computedSum = BlockSum(record.subspan(1, kBlockDataSize))};
    if (onBlock) onBlock(check);
    RaiseUpdateError(profile_, check.computedSum != check.storedSum, UpdateErrorKind::kConsistency,
                     path_, update_location::kBlockSum);
    total += check.storedSum;
  }
}

void PackageReader::Rewind() { input_.Seek(bodyOffset_); }

BlockRecord PackageReader::NextBlock() {
  const std::span<std::uint8_t> record(record_);
  ReadExactly(record.first(1));
  ReadExactly(record.subspan(1, kBlockDataSize));
  ReadExactly(record.subspan(1 + kBlockDataSize, 4));
  return {record[0], record.subspan(1, kBlockDataSize), ReadLe32(&record[1 + kBlockDataSize])};
}

// ---- the whole check ----

PackageSummary ValidatePackage(const std::string& path, const BuildProfile& profile,
                               std::uint8_t identification,
                               const std::function<void(const BlockCheck&)>& onBlock) {
  FilePackageInput file(path);
  RaiseUpdateError(profile, !file.IsOpen(), UpdateErrorKind::kOpen, path);
  PackageReader reader(file, profile, path);
  const bool scrambled = reader.ReadHeader(identification);
  PackageSummary summary = reader.Validate(onBlock);
  summary.scrambledHeader = scrambled;
  return summary;
}

PackageSummary ValidatePackageBytes(std::span<const std::uint8_t> bytes,
                                    const BuildProfile& profile, std::uint8_t identification,
                                    std::string_view path) {
  MemoryPackageInput input(bytes);
  PackageReader reader(input, profile, std::string(path));
  const bool scrambled = reader.ReadHeader(identification);
  PackageSummary summary = reader.Validate();
  summary.scrambledHeader = scrambled;
  return summary;
}

}  // namespace amppanel
