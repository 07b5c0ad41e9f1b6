// The package reader and validator: the validation table for both
// programs, the header key, streaming, and the package writer and its damages.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "tests/update/UpdateTestSupport.h"

namespace amppanel {
namespace {

using test::Bytes;
using test::PackageOf;

std::optional<UpdateErrorKind> KindOf(const std::string& message) {
  for (int k = 0; k <= 3; ++k) {
    const auto kind = static_cast<UpdateErrorKind>(k);
    if (message.rfind(UpdateErrorText(kind), 0) == 0) return kind;
  }
  return std::nullopt;
}

// The verdict of the validator: no value for a valid package, else the kind.
struct Verdict {
  bool valid = false;
  UpdateErrorKind kind = UpdateErrorKind::kGeneral;
  std::string message;
};

Verdict Judge(const Bytes& bytes, const BuildProfile& profile,
              std::uint8_t identification = kDefaultIdentificationByte) {
  try {
    ValidatePackageBytes(bytes, profile, identification, "C:\\pk\\fw.PK3");
    return {true};
  } catch (const Upd_Exception& e) {
    const auto kind = KindOf(e.what());
    EXPECT_TRUE(kind.has_value()) << e.what();
    return {false, kind.value_or(UpdateErrorKind::kGeneral), e.what()};
  }
}

Bytes Scrambled(Bytes bytes, std::uint8_t identification) {
  for (std::size_t i = 0; i < kPackageHeaderSize; ++i) bytes[i] ^= HeaderKey(identification);
  return bytes;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes With(Bytes bytes, std::size_t at, std::uint8_t xorMask) {
  bytes.at(at) ^= xorMask;
  return bytes;
}

constexpr std::size_t kEndOf2 =
    kPackageHeaderSize + 2 * kBlockRecordSize;  // end record of 2 blocks

struct Case {
  const char* name;
  Bytes bytes;
  std::optional<UpdateErrorKind> serial;  // empty: valid
  std::optional<UpdateErrorKind> usb;
  int usbLocation = 0;
};

std::vector<Case> Cases() {
  using K = UpdateErrorKind;
  const Bytes two = PackageOf(2);
  Bytes zero = PackageOf(0);
  Bytes trailing = two;
  trailing.insert(trailing.end(), {0xFF, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A});
  Bytes fifth = two;
  fifth[4] = 0xEE;
  return {
      {"empty file", {}, K::kRead, K::kRead},
      {"four bytes", Cut(two, 4), K::kRead, K::kRead},
      {"header only", Cut(two, 5), K::kRead, K::kRead},
      {"bad header", With(two, 0, 0x01), K::kAuthentication, K::kAuthentication},
      {"scrambled header, default key", Scrambled(two, kDefaultIdentificationByte), std::nullopt,
       K::kAuthentication},
      {"header scrambled for another identification", Scrambled(two, 0x5A), K::kAuthentication,
       K::kAuthentication},
      {"fifth header byte never compared", fifth, std::nullopt, std::nullopt},
      {"no end record", Cut(two, kEndOf2), K::kRead, K::kRead},
      {"cut inside block data", Cut(two, kPackageHeaderSize + kBlockRecordSize + 2000), K::kRead,
       K::kRead},
      {"cut inside a block sum", Cut(two, kEndOf2 - 2), K::kRead, K::kRead},
      {"cut inside the package sum", Cut(two, kEndOf2 + 3), K::kRead, K::kRead},
      {"bad block sum", With(two, kPackageHeaderSize + kBlockRecordSize + 1 + 7, 0x40),
       K::kConsistency, K::kConsistency, 1519},
      {"bad stored block sum", With(two, kPackageHeaderSize + kBlockRecordSize - 1, 0x01),
       K::kConsistency, K::kConsistency, 1519},
      {"bad package sum", With(two, kEndOf2 + 4, 0x80), K::kConsistency, K::kConsistency, 1527},
      {"zero blocks", zero, std::nullopt, std::nullopt},
      {"zero blocks with a package sum", With(zero, 5 + 1, 0x01), K::kConsistency, K::kConsistency,
       1527},
      {"trailing bytes ignored", trailing, std::nullopt, std::nullopt},
  };
}

TEST(PackageValidation, TableForBothPrograms) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Verdict serial = Judge(c.bytes, SerialProfile());
    EXPECT_EQ(serial.valid, !c.serial.has_value()) << serial.message;
    if (c.serial) {
      EXPECT_EQ(serial.kind, *c.serial);
    }
    const Verdict usb = Judge(c.bytes, UsbProfile());
    EXPECT_EQ(usb.valid, !c.usb.has_value()) << usb.message;
    if (c.usb) {
      EXPECT_EQ(usb.kind, *c.usb);
      EXPECT_EQ(usb.message,
                UpdateErrorMessage(UsbProfile(), *c.usb, "C:\\pk\\fw.PK3", c.usbLocation));
    }
    if (c.serial) {
      EXPECT_EQ(serial.message, std::string(UpdateErrorText(*c.serial)) + "C:\\pk\\fw.PK3")
          << "the serial program's messages carry no location";
    }
  }
}

TEST(PackageValidation, ScrambledHeaderNeedsTheKeyOfTheIdentificationByte) {
  const Bytes scrambled = Scrambled(PackageOf(1), 0x5A);
  EXPECT_TRUE(Judge(scrambled, SerialProfile(), 0x5A).valid);
  EXPECT_FALSE(Judge(scrambled, SerialProfile(), 0x5B).valid);
  EXPECT_FALSE(Judge(scrambled, UsbProfile(), 0x5A).valid) << "USB: plain headers only";
  EXPECT_TRUE(Judge(PackageOf(1), SerialProfile(), 0x5A).valid)
      << "a plain header is accepted whatever the identification";

  const Bytes viaWriter = BuildPackage(test::Image(100), {.tag = 3, .scrambleFor = 0x5A});
  EXPECT_EQ(viaWriter.size(), scrambled.size());
  const auto summary = ValidatePackageBytes(viaWriter, SerialProfile(), 0x5A);
  EXPECT_TRUE(summary.scrambledHeader);
  EXPECT_EQ(HeaderKey(0x5A), 0x5A ^ kHeaderKeyMask);
  EXPECT_NE(HeaderKey(kDefaultIdentificationByte), 0) << "the default key scrambles";
}

TEST(PackageValidation, MessagesFollowTheKindAndTheProgram) {
  EXPECT_EQ(UpdateErrorMessage(SerialProfile(), UpdateErrorKind::kConsistency, "/p/a.pk3", 1519),
            "Data consistency check failed while processing file:\n  /p/a.pk3");
  EXPECT_EQ(UpdateErrorMessage(UsbProfile(), UpdateErrorKind::kConsistency, "/p/a.pk3", 1519),
            "Data consistency check failed while processing file:\n  /p/a.pk3 \r#[1519]");
  EXPECT_EQ(UpdateErrorMessage(UsbProfile(), UpdateErrorKind::kRead, "/p/a.pk3"),
            "Read error while processing file:\n  /p/a.pk3");
  EXPECT_EQ(UpdateErrorMessage(UsbProfile(), UpdateErrorKind::kOpen, "x"),
            "I/O error while opening file:\n  x");
  EXPECT_EQ(UpdateErrorMessage(UsbProfile(), UpdateErrorKind::kAuthentication, "x"),
            "Authentication failed while processing file:\n  x");
  EXPECT_EQ(UpdateErrorMessage(UsbProfile(), UpdateErrorKind::kGeneral, "x"),
            "General I/O error on file:\n  x");
  EXPECT_NO_THROW(RaiseUpdateError(UsbProfile(), false, UpdateErrorKind::kRead, "x"));
  EXPECT_THROW(RaiseUpdateError(UsbProfile(), true, UpdateErrorKind::kRead, "x"), Upd_Exception);
}

TEST(PackageValidation, FilesAreReadFromDiskAndAMissingFileIsKindZero) {
  test::TempFolder folder;
  const std::string path = folder.Write("fw.PK3", PackageOf(3));
  const PackageSummary summary = ValidatePackage(path, UsbProfile());
  EXPECT_EQ(summary.blocks, 3);
  EXPECT_EQ(summary.endOffset, kPackageHeaderSize + 3 * kBlockRecordSize);
  EXPECT_FALSE(summary.scrambledHeader);

  const std::string missing = folder.Path("missing.PK3");
  try {
    ValidatePackage(missing, SerialProfile());
    FAIL() << "a missing file must not validate";
  } catch (const Upd_Exception& e) {
    EXPECT_EQ(std::string(e.what()), "I/O error while opening file:\n  " + missing);
  }
}

// Counts what the reader asks for.
class CountingInput final : public PackageInput {
 public:
  explicit CountingInput(const Bytes& bytes) : inner_(bytes) {}
  std::size_t Read(std::span<std::uint8_t> buffer) override {
    largest = std::max(largest, buffer.size());
    return inner_.Read(buffer);
  }
  std::uint64_t Position() const override { return inner_.Position(); }
  void Seek(std::uint64_t position) override {
    ++seeks;
    inner_.Seek(position);
  }
  std::size_t largest = 0;
  int seeks = 0;

 private:
  MemoryPackageInput inner_;
};

TEST(PackageReader, StreamsOneRecordAtATimeAndNeverReadsPastTheEndRecord) {
  Bytes bytes = PackageOf(4, {.tag = 0x42});
  const std::size_t endOfPackage = bytes.size();
  bytes.resize(bytes.size() + 100000, 0xAB);  // trailing bytes
  CountingInput input(bytes);
  PackageReader reader(input, SerialProfile(), "fw");
  EXPECT_FALSE(reader.ReadHeader(kDefaultIdentificationByte));
  std::vector<BlockCheck> seen;
  const PackageSummary summary = reader.Validate([&](const BlockCheck& b) { seen.push_back(b); });
  EXPECT_EQ(summary.blocks, 4);
  EXPECT_EQ(input.Position(), endOfPackage) << "validation stops at the end record";
  EXPECT_LE(input.largest, kBlockDataSize) << "one block in memory, never the file";
  ASSERT_EQ(seen.size(), 4u);
  std::uint32_t total = 0;
  for (const auto& b : seen) {
    EXPECT_EQ(b.tag, 0x42);
    EXPECT_EQ(b.storedSum, b.computedSum);
    total += b.storedSum;
  }
  EXPECT_EQ(summary.packageSum, total);

  reader.Rewind();
  EXPECT_EQ(input.Position(), kPackageHeaderSize);
  const Bytes image = test::Image(4 * kBlockDataSize);
  for (int i = 0; i < 4; ++i) {
    const BlockRecord block = reader.NextBlock();
    EXPECT_EQ(block.tag, 0x42);
    EXPECT_EQ(block.storedSum, seen[static_cast<std::size_t>(i)].storedSum);
    EXPECT_TRUE(std::equal(block.data.begin(), block.data.end(),
                           image.begin() + i * static_cast<std::ptrdiff_t>(kBlockDataSize)));
  }
}

TEST(PackageWriter, PadsTheLastBlockWithFFAndSumsTheBlocks) {
  const Bytes image = test::Image(kBlockDataSize + 10);
  const Bytes package = BuildPackage(image, {.tag = 9});
  ASSERT_EQ(package.size(), kPackageHeaderSize + 2 * kBlockRecordSize + kEndRecordSize);
  EXPECT_EQ(Bytes(package.begin(), package.begin() + 5), (Bytes{'.', 'P', 'K', '1', 0}));
  const std::size_t second = kPackageHeaderSize + kBlockRecordSize;
  EXPECT_EQ(package[second], 9);
  EXPECT_EQ(package[second + 1 + 9], image[kBlockDataSize + 9]);
  EXPECT_EQ(package[second + 1 + 10], 0xFF) << "padding";
  EXPECT_EQ(package[second + kBlockRecordSize - 5], 0xFF) << "padding up to the block's end";
  EXPECT_EQ(package[second + kBlockRecordSize], kEndMarker);
  EXPECT_EQ(ValidatePackageBytes(package, UsbProfile()).blocks, 2);

  EXPECT_EQ(BuildPackage({}).size(), kPackageHeaderSize + kEndRecordSize) << "no blocks";
  EXPECT_EQ(BuildPackage(test::Image(kBlockDataSize)).size(),
            kPackageHeaderSize + kBlockRecordSize + kEndRecordSize)
      << "an exact multiple needs no padding block";
  EXPECT_THROW(BuildPackage(image, {.tag = 0xFF}), std::invalid_argument);
}

TEST(PackageWriter, EachDamageFailsTheValidatorAsItsNameSays) {
  using K = UpdateErrorKind;
  const std::map<PackageDamage, std::optional<K>> expected{
      {PackageDamage::kShort, K::kRead},
      {PackageDamage::kBadHeader, K::kAuthentication},
      {PackageDamage::kNoEndRecord, K::kRead},
      {PackageDamage::kCutBlock, K::kRead},
      {PackageDamage::kBadBlockSum, K::kConsistency},
      {PackageDamage::kBadPackageSum, K::kConsistency},
      {PackageDamage::kTrailing, std::nullopt},
  };
  const Bytes package = PackageOf(3);
  ASSERT_EQ(PackageDamages().size(), expected.size());
  for (const auto& info : PackageDamages()) {
    SCOPED_TRACE(std::string(info.name));
    EXPECT_EQ(DamageByName(info.name), info.damage);
    const Bytes damaged = Damaged(package, info.damage);
    for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
      const Verdict v = Judge(damaged, *profile);
      const auto want = expected.at(info.damage);
      EXPECT_EQ(v.valid, !want.has_value()) << v.message;
      if (want) {
        EXPECT_EQ(v.kind, *want);
      }
    }
  }
  EXPECT_FALSE(DamageByName("nonsense").has_value());
  EXPECT_THROW(Damaged(PackageOf(0), PackageDamage::kBadBlockSum), std::invalid_argument);
}

}  // namespace
}  // namespace amppanel
