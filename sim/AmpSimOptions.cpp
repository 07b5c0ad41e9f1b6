#include "sim/AmpSimOptions.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <optional>

namespace amppanel {
namespace {

std::optional<long> Integer(std::string_view text, long low, long high) {
  long value = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<double> Rate(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !(value >= 0 && value <= 1)) {
    return std::nullopt;
  }
  return value;
}

// "A" or "A:B"; B stays unset without a colon.
std::pair<std::string_view, std::optional<std::string_view>> SplitColon(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return {text, std::nullopt};
  return {text.substr(0, colon), text.substr(colon + 1)};
}

std::optional<LoaderStep> Step(std::string_view name) {
  if (name == "identify") return LoaderStep::kIdentify;
  if (name == "start") return LoaderStep::kStart;
  if (name == "announce") return LoaderStep::kAnnounce;
  if (name == "data") return LoaderStep::kData;
  if (name == "end") return LoaderStep::kEnd;
  return std::nullopt;
}

using Apply = std::function<bool(AmpSimConfig&, std::string_view)>;

struct OptionEntry {
  const char* name;
  const char* argument;  // nullptr: a flag
  const char* help;
  Apply apply;
  bool runTime = false;  // also taken from the control file
};

Apply Flag(bool AmpSimConfig::*member) {
  return [member](AmpSimConfig& c, std::string_view) { return (c.*member = true); };
}

Apply Fault(ReplyFault fault) {
  return [fault](AmpSimConfig& c, std::string_view) {
    c.faults.replyFault = fault;
    return true;
  };
}

Apply LoaderFault(StepFault fault) {
  return [fault](AmpSimConfig& c, std::string_view v) {
    const auto step = Step(v);
    if (step) c.loaderFaults.emplace_back(*step, fault);
    return step.has_value();
  };
}

const std::vector<OptionEntry>& Options() {
  static const std::vector<OptionEntry> options{
      {"--com", "N", "register the port as COMN in the ports folder (1-256, default 1)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 1, 256);
         if (n) c.com = static_cast<int>(*n);
         return n.has_value();
       }},
      {"--verbose", nullptr, "log every received frame on standard error, key codes by name",
       Flag(&AmpSimConfig::verbose)},
      {"--off", nullptr, "start switched off (SIGUSR1 pulses the ON line)",
       Flag(&AmpSimConfig::startOff)},
      {"--operate", nullptr, "start in operate instead of standby", Flag(&AmpSimConfig::operate)},
      {"--transmit", nullptr,
       "key the amplifier 2 s of every 3 s while in operate (moves the meters)",
       Flag(&AmpSimConfig::transmit)},
      {"--boot-ms", "MS", "length of the power-up self test (default 1500)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 0, 60'000);
         if (n) c.bootMs = static_cast<int>(*n);
         return n.has_value();
       }},
      {"--id", "BYTE", "identification byte of the loader's identification answer (default 0x5A)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 0, 255);
         if (n) c.identification = static_cast<std::uint8_t>(*n);
         return n.has_value();
       }},
      {"--seed", "N", "seed of the random byte faults (default 1)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 0, 0xFFFFFFFFL);
         if (n) c.faults.seed = static_cast<std::uint32_t>(*n);
         return n.has_value();
       },
       true},
      {"--drop", "RATE", "lose this share (0-1) of the output bytes",
       [](AmpSimConfig& c, std::string_view v) {
         const auto r = Rate(v);
         if (r) c.faults.dropRate = *r;
         return r.has_value();
       },
       true},
      {"--corrupt", "RATE", "flip bits in this share (0-1) of the output bytes",
       [](AmpSimConfig& c, std::string_view v) {
         const auto r = Rate(v);
         if (r) c.faults.corruptRate = *r;
         return r.has_value();
       },
       true},
      {"--delay", "RATE[:MS]",
       "hold back this share (0-1) of the output bytes, and all after them, by MS (default 500)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto [rate, ms] = SplitColon(v);
         const auto r = Rate(rate);
         const auto d = ms ? Integer(*ms, 0, 60'000) : std::optional<long>(500);
         if (!r || !d) return false;
         c.faults.delayRate = *r;
         c.faults.delay = milliseconds(*d);
         return true;
       },
       true},
      {"--split", "N[:MS]", "send the output in pieces of N bytes, MS apart (default 20)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto [size, ms] = SplitColon(v);
         const auto n = Integer(size, 1, 65'536);
         const auto gap = ms ? Integer(*ms, 0, 60'000) : std::optional<long>(20);
         if (!n || !gap) return false;
         c.faults.splitSize = static_cast<std::size_t>(*n);
         c.faults.splitGap = milliseconds(*gap);
         return true;
       },
       true},
      {"--silence", "FRAMES:MS", "after FRAMES frames, answer nothing for MS",
       [](AmpSimConfig& c, std::string_view v) {
         const auto [frames, ms] = SplitColon(v);
         const auto n = Integer(frames, 0, 1'000'000'000);
         const auto d = ms ? Integer(*ms, 1, 3'600'000) : std::nullopt;
         if (!n || !d) return false;
         c.silenceAfterFrames = static_cast<int>(*n);
         c.silenceMs = static_cast<int>(*d);
         return true;
       },
       true},
      {"--bad-complement", nullptr, "display replies with a wrong length complement",
       Fault(ReplyFault::kBadComplement), true},
      {"--wrong-type", nullptr, "display replies of type 0x02", Fault(ReplyFault::kWrongType),
       true},
      {"--bad-check", nullptr, "display replies with a wrong check sum",
       Fault(ReplyFault::kBadCheck), true},
      {"--never-ack", nullptr, "the loader never sends an acknowledgement",
       [](AmpSimConfig& c, std::string_view) { return (c.faults.neverAcknowledge = true); }, true},
      {"--cut-after", "N", "close the port after N frames (the panel sees the line fail)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 1, 1'000'000'000);
         if (n) c.faults.cutAfterFrames = static_cast<int>(*n);
         return n.has_value();
       },
       true},
      {"--pace", nullptr, "send at the wire speed of 115200 baud (10 bits per byte)",
       [](AmpSimConfig& c, std::string_view) {
         c.faults.paceBaud = kDefaultPaceBaud;
         return true;
       },
       true},
      {"--baud", "RATE", "send at the wire speed of RATE baud (10 bits per byte)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 50, 4'000'000);
         if (n) c.faults.paceBaud = static_cast<int>(*n);
         return n.has_value();
       },
       true},
      {"--loader-fail", "STEP",
       "refuse a loader step: identify, start, announce, data or end (repeatable)",
       LoaderFault(StepFault::kFail), true},
      {"--loader-silent", "STEP", "never answer a loader step (repeatable)",
       LoaderFault(StepFault::kSilent), true},
      {"--flood", "BYTE|random",
       "fill the line between the answers with this byte, or random bytes, at the wire speed",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = v == "random" ? std::optional<long>(kFloodRandom) : Integer(v, 0, 255);
         if (n) c.faults.floodByte = static_cast<int>(*n);
         return n.has_value();
       },
       true},
      {"--press", "CODE", "press this key on the amplifier's own front panel (repeatable)",
       [](AmpSimConfig& c, std::string_view v) {
         const auto n = Integer(v, 1, 255);
         if (!n || KeyName(static_cast<std::uint8_t>(*n)).empty()) return false;
         c.presses.push_back(static_cast<std::uint8_t>(*n));
         return true;
       },
       true},
      {"--control", "FILE",
       "on SIGHUP, read fault options and --press from FILE, on top of the command line's",
       [](AmpSimConfig& c, std::string_view v) {
         c.controlFile = std::string(v);
         return !v.empty();
       }},
      {"--help", nullptr, "show this text and exit", Flag(&AmpSimConfig::help)},
  };
  return options;
}

const OptionEntry* FindOption(std::string_view name) {
  for (const auto& o : Options()) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool comment = false;
  for (const char c : text) {
    if (c == '\n') comment = false;
    if (c == '#' && word.empty()) comment = true;
    if (comment || c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
      continue;
    }
    word += c;
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

}  // namespace

bool ParseAmpSimArgs(std::span<const std::string> args, AmpSimConfig& config, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> inlineValue;
    if (const auto eq = arg.find('='); eq != std::string_view::npos) {
      inlineValue = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    const OptionEntry* entry = FindOption(arg);
    if (entry == nullptr) {
      error = "unknown option " + std::string(args[i]);
      return false;
    }
    std::string_view value;
    if (entry->argument != nullptr) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = std::string(entry->name) + " needs " + entry->argument;
        return false;
      }
    } else if (inlineValue) {
      error = std::string(entry->name) + " takes no value";
      return false;
    }
    if (!entry->apply(config, value)) {
      error = "bad value for " + std::string(entry->name) + ": " + std::string(value);
      return false;
    }
  }
  return true;
}

bool ParseControlText(std::string_view text, const AmpSimConfig& base, AmpSimConfig& config,
                      std::string& error) {
  const std::vector<std::string> words = Words(text);
  for (const std::string& word : words) {
    const std::string_view name = std::string_view(word).substr(0, word.find('='));
    const OptionEntry* entry = FindOption(name);
    if (entry != nullptr && !entry->runTime) {
      error = std::string(name) + " cannot change while the amplifier runs";
      return false;
    }
  }
  AmpSimConfig next = base;
  // The command line's presses were made at the start; only the file's are new.
  next.presses.clear();
  if (!ParseAmpSimArgs(words, next, error)) return false;
  config = std::move(next);
  return true;
}

std::string AmpSimHelp() {
  std::string text =
      "usage: ampsim [options]\n"
      "The virtual KALDOR R40-XT amplifier on a pseudo-terminal. The device is linked as\n"
      "COMn in $XDG_CONFIG_HOME/Norvik/ports (~/.config when unset), so the panel finds it\n"
      "as that COM port; the device path is printed on standard output. SIGINT or SIGTERM\n"
      "stops it and removes the link; SIGUSR1 pulses the ON line (a pseudo-terminal has no\n"
      "DTR line). With --control, SIGHUP reads the file again.\n\noptions:\n";
  for (const auto& o : Options()) {
    std::string left = std::string("  ") + o.name;
    if (o.argument != nullptr) left += std::string(" ") + o.argument;
    if (left.size() < 24) left.resize(24, ' ');
    text += left + " " + o.help + "\n";
  }
  return text;
}

std::vector<std::string> AmpSimOptionNames() {
  std::vector<std::string> names;
  for (const auto& o : Options()) names.emplace_back(o.name);
  return names;
}

AmpEngineOptions EngineOptionsFor(const AmpSimConfig& config) {
  AmpEngineOptions options;
  options.model.poweredOn = !config.startOff;
  options.model.bootTime = milliseconds(config.bootMs);
  options.identification = config.identification;
  return options;
}

void ApplyScenario(const AmpSimConfig& config, AmpEngine& engine) {
  if (config.operate) engine.PressKey(key::kOperate);
  if (config.transmit) engine.SetTransmitScript(true);
  ApplyFaults(config, engine);
}

void ApplyFaults(const AmpSimConfig& config, AmpEngine& engine) {
  engine.SetFaults(config.faults);
  engine.StopAnsweringAfter(0, milliseconds(0));
  if (config.silenceMs > 0) {
    engine.StopAnsweringAfter(config.silenceAfterFrames, milliseconds(config.silenceMs));
  }
  for (int step = 0; step < kLoaderSteps; ++step) {
    engine.SetLoaderFault(static_cast<LoaderStep>(step), StepFault::kNone);
  }
  for (const auto& [step, fault] : config.loaderFaults) engine.SetLoaderFault(step, fault);
  for (const std::uint8_t code : config.presses) engine.PressKey(code);
}

}  // namespace amppanel
