// pk3tool: builds, lists and damages firmware packages (.PK3). It reads
// packages with the program's own reader and validator (update/Package.h).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/Package.h"
#include "update/PackageWriter.h"

namespace amppanel {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitInvalid = 1;
constexpr int kExitUsage = 2;

void PrintHelp(std::ostream& out) {
  out << "Usage:\n"
         "  pk3tool make IMAGE.bin OUT.PK3 [--tag N] [--scramble ID]\n"
         "      Builds a valid package from a binary image: one block record per 4096\n"
         "      bytes of the image, the last padded with 0xFF, then the end record with\n"
         "      the package sum. --tag N gives every block the tag N (0-254, default 0).\n"
         "      --scramble ID writes the header scrambled with the header key of the\n"
         "      identification byte ID; only the serial program, given that byte,\n"
         "      accepts it. An empty image gives a package with no blocks.\n"
         "  pk3tool list FILE [--usb] [--id ID]\n"
         "      Prints the header, every block (tag, stored sum, computed sum) and the\n"
         "      verdict of the validator the programs use. By default the package is\n"
         "      judged as AmpPanel_232 judges it with no identification answer; --usb\n"
         "      judges as AmpPanel_USB (plain headers only), --id ID as AmpPanel_232 with\n"
         "      the identification byte ID. Exit status 0 only for a valid package.\n"
         "  pk3tool corrupt KIND FILE OUT\n"
         "      Writes a copy of the valid package FILE with one kind of damage:\n";
  for (const auto& d : PackageDamages()) {
    out << "        " << d.name << std::string(14 - d.name.size(), ' ') << d.description << "\n";
  }
  out << "  pk3tool --help\n"
         "      Shows this text.\n"
         "Numbers may be decimal or hexadecimal (0x...). Exit status: 0 success, 1 an\n"
         "invalid package or a failed operation, 2 a usage error.\n";
}

int Usage(const std::string& why) {
  std::cerr << "pk3tool: " << why << "\n\n";
  PrintHelp(std::cerr);
  return kExitUsage;
}

std::optional<int> ParseNumber(const std::string& text, int max) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value < 0 || value > max) return std::nullopt;
  return static_cast<int>(value);
}

// The message as one line: its line breaks (\n and \r) become " | ".
std::string OneLine(std::string text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      line += " | ";
      while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
    } else {
      line += text[i];
    }
  }
  return line;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

int Make(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("make needs IMAGE and OUT");
  PackageOptions options;
  for (std::size_t i = 2; i < args.size(); ++i) {
    if ((args[i] == "--tag" || args[i] == "--scramble") && i + 1 < args.size()) {
      const auto value = ParseNumber(args[i + 1], args[i] == "--tag" ? 0xFE : 0xFF);
      if (!value) return Usage("bad value for " + args[i] + ": " + args[i + 1]);
      if (args[i] == "--tag") {
        options.tag = static_cast<std::uint8_t>(*value);
      } else {
        options.scrambleFor = static_cast<std::uint8_t>(*value);
      }
      ++i;
    } else {
      return Usage("unknown argument for make: " + args[i]);
    }
  }
  std::ifstream image(args[0], std::ios::binary);
  if (!image) {
    std::cerr << "pk3tool: cannot open " << args[0] << "\n";
    return kExitInvalid;
  }
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  if (!out) {
    std::cerr << "pk3tool: cannot write " << args[1] << "\n";
    return kExitInvalid;
  }
  const WrittenPackage written = WritePackage(image, out, options);
  out.close();
  if (!out) {
    std::cerr << "pk3tool: writing " << args[1] << " failed\n";
    return kExitInvalid;
  }
  std::cout << args[1] << ": " << written.blocks << " block(s), package sum "
            << Hex(written.packageSum, 8) << "\n";
  return kExitOk;
}

int List(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("list needs FILE");
  const BuildProfile* profile = &SerialProfile();
  std::uint8_t identification = kDefaultIdentificationByte;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--usb") {
      profile = &UsbProfile();
    } else if (args[i] == "--id" && i + 1 < args.size()) {
      const auto value = ParseNumber(args[i + 1], 0xFF);
      if (!value) return Usage("bad value for --id: " + args[i + 1]);
      identification = static_cast<std::uint8_t>(*value);
      ++i;
    } else {
      return Usage("unknown argument for list: " + args[i]);
    }
  }
  const std::string& path = args[0];
  std::cout << path << " (judged as " << profile->programName;
  if (profile->link == LinkKind::kSerial) {
    std::cout << ", header key " << Hex(HeaderKey(identification), 2);
  }
  std::cout << ")\n";
  bool heading = false;
  try {
    const PackageSummary summary =
        ValidatePackage(path, *profile, identification, [&](const BlockCheck& b) {
          if (!heading) std::cout << "block  tag   stored sum  computed sum\n";
          heading = true;
          std::printf("%5d  %s  %s  %s  %s\n", b.index + 1, Hex(b.tag, 2).c_str(),
                      Hex(b.storedSum, 8).c_str(), Hex(b.computedSum, 8).c_str(),
                      b.storedSum == b.computedSum ? "ok" : "MISMATCH");
          std::fflush(stdout);
        });
    std::cout << "header: " << (summary.scrambledHeader ? "scrambled" : "plain") << "\n"
              << "end record at " << summary.endOffset << ": package sum "
              << Hex(summary.packageSum, 8) << "\n"
              << "verdict: valid, " << summary.blocks << " block(s)\n";
    return kExitOk;
  } catch (const Upd_Exception& e) {
    std::cout.flush();
    std::cout << "verdict: invalid: " << OneLine(e.what()) << "\n";
    return kExitInvalid;
  }
}

int Corrupt(const std::vector<std::string>& args) {
  if (args.size() != 3) return Usage("corrupt needs KIND, FILE and OUT");
  const auto damage = DamageByName(args[0]);
  if (!damage) return Usage("unknown kind of damage: " + args[0]);
  try {
    // The input must be valid: its summary says where the records are.
    const PackageSummary summary = ValidatePackage(args[1], SerialProfile());
    const DamagePlan plan = PlanDamage(*damage, summary);
    std::ifstream in(args[1], std::ios::binary);
    std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
    if (!in || !out) {
      std::cerr << "pk3tool: cannot copy " << args[1] << " to " << args[2] << "\n";
      return kExitInvalid;
    }
    CopyWithDamage(in, out, plan);
    out.close();
    if (!out) {
      std::cerr << "pk3tool: writing " << args[2] << " failed\n";
      return kExitInvalid;
    }
  } catch (const Upd_Exception& e) {
    std::cerr << "pk3tool: the input is not a valid package: " << OneLine(e.what()) << "\n";
    return kExitInvalid;
  } catch (const std::invalid_argument& e) {
    std::cerr << "pk3tool: " << e.what() << "\n";
    return kExitInvalid;
  }
  std::cout << args[2] << ": " << args[0] << "\n";
  return kExitOk;
}

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    PrintHelp(std::cout);
    return kExitOk;
  }
  if (command == "make") return Make(args);
  if (command == "list") return List(args);
  if (command == "corrupt") return Corrupt(args);
  return Usage("unknown command: " + command);
}

}  // namespace
}  // namespace amppanel

int main(int argc, char** argv) { return amppanel::Main(argc, argv); }
