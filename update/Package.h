// The firmware package (.PK3): layout, the header key, and the reader that
// validates a package and then hands its blocks out one at a time.
//
// The reader streams: it holds one 4101-byte block record, never the file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/BuildProfile.h"
#include "update/UpdateError.h"

namespace amppanel {

// ---- layout ----
inline constexpr std::size_t kPackageHeaderSize = 5;  // ".PK1" and a byte never compared
inline constexpr std::array<std::uint8_t, 4> kPackageSignature{'.', 'P', 'K', '1'};
inline constexpr std::size_t kBlockDataSize = 4096;
// Tag, data, stored block sum (unsigned 32-bit, least significant byte first).
inline constexpr std::size_t kBlockRecordSize = 1 + kBlockDataSize + 4;
inline constexpr std::uint8_t kEndMarker = 0xFF;
inline constexpr std::size_t kEndRecordSize = 1 + 4;  // marker, package sum

// ---- header key (serial program only) ----
// The identification byte that stands in when the amplifier gives no valid
// identification answer.
inline constexpr std::uint8_t kDefaultIdentificationByte = 0xA5;
// The program's mask, combined with the identification byte by exclusive-or.
inline constexpr std::uint8_t kHeaderKeyMask = 0x3C;
// The key that unscrambles a scrambled header: identification XOR mask.
constexpr std::uint8_t HeaderKey(std::uint8_t identification) {
  return static_cast<std::uint8_t>(identification ^ kHeaderKeyMask);
}

// Sum of the data bytes as unsigned values: a block's sum.
std::uint32_t BlockSum(std::span<const std::uint8_t> data);

// ---- where the bytes come from ----
class PackageInput {
 public:
  virtual ~PackageInput() = default;
  // Reads up to buffer.size() bytes; fewer only at the end of the input.
  virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;
  virtual std::uint64_t Position() const = 0;
  virtual void Seek(std::uint64_t position) = 0;
};

// A package file, opened for binary reading; closed by Close or the destructor.
class FilePackageInput final : public PackageInput {
 public:
  explicit FilePackageInput(const std::string& path);
  ~FilePackageInput() override;
  FilePackageInput(const FilePackageInput&) = delete;
  FilePackageInput& operator=(const FilePackageInput&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  void Close();

  std::size_t Read(std::span<std::uint8_t> buffer) override;
  std::uint64_t Position() const override;
  void Seek(std::uint64_t position) override;

 private:
  std::FILE* file_ = nullptr;
};

// A package already in memory (fuzzing, tests).
class MemoryPackageInput final : public PackageInput {
 public:
  explicit MemoryPackageInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t Read(std::span<std::uint8_t> buffer) override;
  std::uint64_t Position() const override { return position_; }
  void Seek(std::uint64_t position) override;

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// ---- reading and validating ----

// One block as the validation pass saw it.
struct BlockCheck {
  int index = 0;  // 0-based, in file order
  std::uint8_t tag = 0;
  std::uint32_t storedSum = 0;
  std::uint32_t computedSum = 0;
};

struct PackageSummary {
  int blocks = 0;                // block records before the end record
  std::uint32_t packageSum = 0;  // stored in the end record (equal to the total)
  bool scrambledHeader = false;  // the header matched only once unscrambled
  std::uint64_t endOffset = 0;   // where the end record starts
};

// One block handed out by the transfer pass; data stays valid until the next read.
struct BlockRecord {
  std::uint8_t tag = 0;
  std::span<const std::uint8_t> data;
  std::uint32_t storedSum = 0;
};

// Reads one package: header, block records, end record, in file order. Every
// failure is an Upd_Exception naming `path` (kinds 1, 2 and 3).
class PackageReader {
 public:
  PackageReader(PackageInput& input, const BuildProfile& profile, std::string path);

  // Step 5: reads the 5 header bytes. Accepts ".PK1"; in the serial program
  // also the first four bytes combined with HeaderKey(identification).
  // Returns true when the header was accepted scrambled.
  bool ReadHeader(std::uint8_t identification);
  // Step 6: reads every record up to the end record, checking each block sum
  // and the package sum. onBlock sees each block before its sum is judged.
  PackageSummary Validate(const std::function<void(const BlockCheck&)>& onBlock = {});
  // Step 7: back to the first block record.
  void Rewind();
  // Step 10.1: the next block record; its sum is not recomputed.
  BlockRecord NextBlock();

  const std::string& Path() const { return path_; }

 private:
  void ReadExactly(std::span<std::uint8_t> into);  // kind 1 when short

  PackageInput& input_;
  const BuildProfile& profile_;
  std::string path_;
  std::uint64_t bodyOffset_ = kPackageHeaderSize;
  std::array<std::uint8_t, kBlockRecordSize> record_{};
};

// The whole check as the program makes it before anything reaches the loader:
// open (kind 0), header, validation. Throws Upd_Exception.
PackageSummary ValidatePackage(const std::string& path, const BuildProfile& profile,
                               std::uint8_t identification = kDefaultIdentificationByte,
                               const std::function<void(const BlockCheck&)>& onBlock = {});
// The same check on bytes in memory; `path` only names them in messages.
PackageSummary ValidatePackageBytes(std::span<const std::uint8_t> bytes,
                                    const BuildProfile& profile,
                                    std::uint8_t identification = kDefaultIdentificationByte,
                                    std::string_view path = "<memory>");

}  // namespace amppanel
