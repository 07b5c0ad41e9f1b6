// The command line of ampsim, kept apart from main() so that it can be tested.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/AmpEngine.h"

namespace amppanel {

struct AmpSimConfig {
  int com = 1;
  bool verbose = false;
  bool help = false;
  bool startOff = false;
  bool operate = false;
  bool transmit = false;
  int bootMs = 1500;
  std::uint8_t identification = 0x5A;
  FaultSettings faults;
  int silenceAfterFrames = 0;
  int silenceMs = 0;  // 0: never stops answering
  std::vector<std::pair<LoaderStep, StepFault>> loaderFaults;
  // Keys pressed on the amplifier's own front panel once the faults are set.
  std::vector<std::uint8_t> presses;
  // Read on SIGHUP: fault options and presses, on top of the command line's.
  std::string controlFile;
};

// Parses the arguments after the program name. False with a message in `error`
// for an unknown option or a bad value.
bool ParseAmpSimArgs(std::span<const std::string> args, AmpSimConfig& config, std::string& error);
// The --help text: one entry per option.
std::string AmpSimHelp();
// Every option name, for tests that check the help text.
std::vector<std::string> AmpSimOptionNames();

// The text of a control file: whitespace-separated options, `#` to the end of
// a line a comment. Only the options that a running amplifier can change (the
// faults, --press) are taken; they go on top of `base`, the command line, so
// an empty text brings back the faults the amplifier started with.
bool ParseControlText(std::string_view text, const AmpSimConfig& base, AmpSimConfig& config,
                      std::string& error);

// Applies the settings of `config` that belong to the engine.
AmpEngineOptions EngineOptionsFor(const AmpSimConfig& config);
void ApplyScenario(const AmpSimConfig& config, AmpEngine& engine);
// The faults of `config` in place of the engine's current ones (a silence in
// progress ends unless `config` has one), then its key presses.
void ApplyFaults(const AmpSimConfig& config, AmpEngine& engine);

}  // namespace amppanel
