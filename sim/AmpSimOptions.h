// The command line of ampsim, kept apart from main() so that it can be tested.
#pragma once

#include <span>
#include <string>
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
};

// Parses the arguments after the program name. False with a message in `error`
// for an unknown option or a bad value.
bool ParseAmpSimArgs(std::span<const std::string> args, AmpSimConfig& config, std::string& error);
// The --help text: one entry per option.
std::string AmpSimHelp();
// Every option name, for tests that check the help text.
std::vector<std::string> AmpSimOptionNames();

// Applies the settings of `config` that belong to the engine.
AmpEngineOptions EngineOptionsFor(const AmpSimConfig& config);
void ApplyScenario(const AmpSimConfig& config, AmpEngine& engine);

}  // namespace amppanel
