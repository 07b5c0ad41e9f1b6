// libFuzzer target: the package validator and reader on arbitrary bytes, as
// both programs judge them. The first byte picks the identification byte; the
// rest is the package. A valid package is then read block by block as the
// transfer pass reads it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "update/Package.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace amppanel;
  if (size == 0) return 0;
  const std::uint8_t identification = data[0];
  const std::span<const std::uint8_t> package(data + 1, size - 1);
  for (const BuildProfile* profile : {&SerialProfile(), &UsbProfile()}) {
    MemoryPackageInput input(package);
    PackageReader reader(input, *profile, "fuzz.PK3");
    try {
      reader.ReadHeader(identification);
      const PackageSummary summary = reader.Validate();
      reader.Rewind();
      std::uint32_t total = 0;
      for (int i = 0; i < summary.blocks; ++i) total += reader.NextBlock().storedSum;
      if (total != summary.packageSum) __builtin_trap();  // validation promised this
    } catch (const Upd_Exception&) {
      // Every refusal is an update failure with its text; nothing else may escape.
    }
  }
  return 0;
}
