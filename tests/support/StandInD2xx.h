// Runs the stand-in D2XX library (sim/d2xx) for a test: points AMPPANEL_D2XX
// and the stand-in's variables at it for the life of the object, resets it so
// that it takes them, and reads back its call log.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ScopedEnv.h"

namespace amppanel::test {

// Where the build put the stand-in libraries (from the test's compile
// definitions AMP_STANDIN_D2XX and AMP_STANDIN_D2XX_NOCYCLE), in the form the
// platform's loader takes.
std::string StandInLibrary();
std::string StandInLibraryWithoutCyclePort();

struct StandInCall {
  double ms = 0;     // since the library was loaded
  std::string name;  // "FT_SetBaudRate", or "engine" for a frame the amplifier got
  std::string text;  // the whole line after the time
};

class StandInSession {
 public:
  struct Options {
    std::string devices = "KALDOR01";  // "none": no device
    std::string fail;                  // CALL:OCCURRENCE:STATUS,...
    int cutAfter = 0;
    std::string ampsim = "--boot-ms 0";
    std::string library = StandInLibrary();
  };
  StandInSession();
  explicit StandInSession(Options options);
  ~StandInSession();
  StandInSession(const StandInSession&) = delete;
  StandInSession& operator=(const StandInSession&) = delete;

  const std::string& LogPath() const { return logPath_; }
  std::vector<StandInCall> Log() const;
  // The FT_ calls in order (without the engine lines).
  std::vector<std::string> Calls() const;
  // The lines of one call name.
  std::vector<StandInCall> CallsOf(const std::string& name) const;

 private:
  std::string logPath_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// Calls the stand-in's AmpPanelStandIn_Reset in `library` (loading it if need
// be); false when the library or the function is not there.
bool ResetStandIn(const std::string& library);

}  // namespace amppanel::test
