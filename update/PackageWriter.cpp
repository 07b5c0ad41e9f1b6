#include "update/PackageWriter.h"

#include <algorithm>
#include <array>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace amppanel {
namespace {

void PutLe32(std::ostream& out, std::uint32_t value) {
  const std::array<char, 4> bytes{static_cast<char>(value), static_cast<char>(value >> 8),
                                  static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  out.write(bytes.data(), bytes.size());
}

constexpr std::array<DamageInfo, 7> kDamages{{
    {PackageDamage::kShort, "short", "only the first 4 bytes (read error, kind 1)"},
    {PackageDamage::kBadHeader, "header", "signature .pK1 (authentication, kind 2)"},
    {PackageDamage::kNoEndRecord, "no-end", "end record removed (read error, kind 1)"},
    {PackageDamage::kCutBlock, "cut-block", "cut inside the last block (read error, kind 1)"},
    {PackageDamage::kBadBlockSum, "block-sum",
     "a data byte of the first block changed (consistency, kind 3)"},
    {PackageDamage::kBadPackageSum, "package-sum", "package sum changed (consistency, kind 3)"},
    {PackageDamage::kTrailing, "trailing", "bytes after the end record (still valid)"},
}};

}  // namespace

WrittenPackage WritePackage(std::istream& image, std::ostream& out, const PackageOptions& options) {
  if (options.tag == kEndMarker) throw std::invalid_argument("a block tag may not be 0xFF");
  std::array<std::uint8_t, kPackageHeaderSize> header{
      kPackageSignature[0], kPackageSignature[1], kPackageSignature[2], kPackageSignature[3], 0x00};
  if (options.scrambleFor) {
    for (auto& b : header) b = static_cast<std::uint8_t>(b ^ HeaderKey(*options.scrambleFor));
  }
  out.write(reinterpret_cast<const char*>(header.data()), header.size());

  WrittenPackage written;
  std::array<std::uint8_t, kBlockDataSize> block{};
  for (;;) {
    image.read(reinterpret_cast<char*>(block.data()), block.size());
    const auto got = static_cast<std::size_t>(image.gcount());
    if (got == 0) break;
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.end(), 0xFF);
    const std::uint32_t sum = BlockSum(block);
    out.put(static_cast<char>(options.tag));
    out.write(reinterpret_cast<const char*>(block.data()), block.size());
    PutLe32(out, sum);
    ++written.blocks;
    written.packageSum += sum;
    if (got < block.size()) break;
  }
  out.put(static_cast<char>(kEndMarker));
  PutLe32(out, written.packageSum);
  return written;
}

std::vector<std::uint8_t> BuildPackage(std::span<const std::uint8_t> image,
                                       const PackageOptions& options) {
  std::istringstream in(std::string(image.begin(), image.end()));
  std::ostringstream out;
  WritePackage(in, out, options);
  const std::string bytes = out.str();
  return {bytes.begin(), bytes.end()};
}

std::span<const DamageInfo> PackageDamages() { return kDamages; }

std::optional<PackageDamage> DamageByName(std::string_view name) {
  for (const auto& d : kDamages) {
    if (d.name == name) return d.damage;
  }
  return std::nullopt;
}

DamagePlan PlanDamage(PackageDamage damage, const PackageSummary& summary) {
  DamagePlan plan;
  const std::uint64_t firstBlock = kPackageHeaderSize;
  switch (damage) {
    case PackageDamage::kShort:
      plan.cutAt = kPackageHeaderSize - 1;
      break;
    case PackageDamage::kBadHeader:
      plan.flipAt = 1;  // 'P' becomes 'p'
      plan.flipMask = 0x20;
      break;
    case PackageDamage::kNoEndRecord:
      plan.cutAt = summary.endOffset;
      break;
    case PackageDamage::kCutBlock:
      if (summary.blocks == 0) throw std::invalid_argument("the package has no block to cut");
      plan.cutAt = summary.endOffset - kBlockRecordSize / 2;
      break;
    case PackageDamage::kBadBlockSum:
      if (summary.blocks == 0) throw std::invalid_argument("the package has no block to damage");
      plan.flipAt = firstBlock + 1 + 100;  // a data byte of the first block
      plan.flipMask = 0x01;
      break;
    case PackageDamage::kBadPackageSum:
      plan.flipAt = summary.endOffset + 1;  // low byte of the package sum
      plan.flipMask = 0x01;
      break;
    case PackageDamage::kTrailing:
      plan.cutAt = summary.endOffset + kEndRecordSize;
      plan.appended = "TRAILING BYTES, NEVER READ\n";
      break;
  }
  return plan;
}

void CopyWithDamage(std::istream& in, std::ostream& out, const DamagePlan& plan) {
  std::array<char, 4096> buffer{};
  std::uint64_t at = 0;
  for (;;) {
    std::size_t want = buffer.size();
    if (plan.cutAt)
      want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *plan.cutAt - at));
    if (want == 0) break;
    in.read(buffer.data(), static_cast<std::streamsize>(want));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    if (plan.flipAt && *plan.flipAt >= at && *plan.flipAt < at + got) {
      auto& b = buffer[static_cast<std::size_t>(*plan.flipAt - at)];
      b = static_cast<char>(b ^ static_cast<char>(plan.flipMask));
    }
    out.write(buffer.data(), static_cast<std::streamsize>(got));
    at += got;
  }
  out << plan.appended;
}

std::vector<std::uint8_t> Damaged(std::span<const std::uint8_t> package, PackageDamage damage,
                                  const BuildProfile& profile) {
  const PackageSummary summary = ValidatePackageBytes(package, profile);
  std::istringstream in(std::string(package.begin(), package.end()));
  std::ostringstream out;
  CopyWithDamage(in, out, PlanDamage(damage, summary));
  const std::string bytes = out.str();
  return {bytes.begin(), bytes.end()};
}

}  // namespace amppanel
