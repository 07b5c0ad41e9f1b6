// Building firmware packages from binary images, and damaging them on purpose
// for tests. Used by pk3tool and the tests; the program itself only reads
// packages (update/Package.h).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "update/Package.h"

namespace amppanel {

struct PackageOptions {
  std::uint8_t tag = 0x00;  // the tag of every block (any value but 0xFF)
  // When set, the header is scrambled with HeaderKey(identification): only the
  // serial program, given that identification byte, accepts it.
  std::optional<std::uint8_t> scrambleFor;
};

struct WrittenPackage {
  int blocks = 0;
  std::uint32_t packageSum = 0;
};

// Writes the package of the image read from `image` to `out`: the header, one
// block record per 4096 image bytes (the last padded with 0xFF), the end record.
// Holds one block in memory. An empty image gives a package with no blocks.
WrittenPackage WritePackage(std::istream& image, std::ostream& out, const PackageOptions& options);
// The same in memory (tests).
std::vector<std::uint8_t> BuildPackage(std::span<const std::uint8_t> image,
                                       const PackageOptions& options = {});

// Kinds of damage that `pk3tool corrupt` writes, each one failure of the validator.
enum class PackageDamage {
  kShort,          // only the first 4 bytes: kind 1
  kBadHeader,      // ".pK1": kind 2 (both programs)
  kNoEndRecord,    // cut right before the end record: kind 1
  kCutBlock,       // cut inside the last block record: kind 1
  kBadBlockSum,    // a data byte of the first block changed: kind 3
  kBadPackageSum,  // the package sum changed: kind 3
  kTrailing,       // bytes after the end record: still valid (they are never read)
};

struct DamageInfo {
  PackageDamage damage;
  std::string_view name;
  std::string_view description;
};
std::span<const DamageInfo> PackageDamages();
std::optional<PackageDamage> DamageByName(std::string_view name);

// What a damage does to a valid package whose summary is given: cut the file
// at `cutAt` (when set), flip bits at one offset, append bytes.
struct DamagePlan {
  std::optional<std::uint64_t> cutAt;
  std::optional<std::uint64_t> flipAt;
  std::uint8_t flipMask = 0;
  std::string appended;
};
// Throws std::invalid_argument when the package has no block to damage.
DamagePlan PlanDamage(PackageDamage damage, const PackageSummary& summary);

// Copies `in` to `out` with the plan applied, in pieces.
void CopyWithDamage(std::istream& in, std::ostream& out, const DamagePlan& plan);
// The same in memory (tests).
std::vector<std::uint8_t> Damaged(std::span<const std::uint8_t> package, PackageDamage damage,
                                  const BuildProfile& profile = SerialProfile());

}  // namespace amppanel
