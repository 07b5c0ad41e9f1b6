// ampsim: the virtual amplifier on a pseudo-terminal, registered as a COM port
// so that AmpPanel_232 (or anything else) can open it by number.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "link/serial/ComPortNames.h"
#include "sim/AmpEngine.h"
#include "sim/AmpSimOptions.h"
#include "sim/Pty.h"

namespace fs = std::filesystem;
using namespace amppanel;

namespace {

std::atomic<bool> gStop{false};
std::atomic<bool> gOnPulse{false};
std::atomic<bool> gReload{false};

extern "C" void OnStopSignal(int) { gStop = true; }
extern "C" void OnPulseSignal(int) { gOnPulse = true; }
extern "C" void OnReloadSignal(int) { gReload = true; }

void InstallHandlers(bool reload) {
  struct sigaction sa {};
  sigemptyset(&sa.sa_mask);
  sa.sa_handler = OnStopSignal;  // no SA_RESTART: a blocked poll returns at once
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sa.sa_handler = OnPulseSignal;
  sigaction(SIGUSR1, &sa, nullptr);
  // Without a control file a hang-up keeps its usual meaning: stop.
  if (reload) {
    sa.sa_handler = OnReloadSignal;
    sigaction(SIGHUP, &sa, nullptr);
  }
  signal(SIGPIPE, SIG_IGN);
}

// Seconds since `start`, the time stamp of every log line, so that a reader
// can put the control changes and the frames in one order.
double Since(SimTime start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The control file's options (on top of the command line's) replace the current
// faults; a file that cannot be read or parsed changes nothing. The line is
// stamped with the time before the change, so every frame logged later was
// handled with the new faults.
void Reload(const AmpSimConfig& base, AmpEngine& engine, SimTime start) {
  const double at = Since(start);
  std::ifstream file(base.controlFile);
  std::stringstream text;
  text << file.rdbuf();
  AmpSimConfig next;
  std::string error;
  if (!file) {
    error = "cannot read " + base.controlFile;
  } else if (ParseControlText(text.str(), base, next, error)) {
    ApplyFaults(next, engine);
    std::string words;
    std::istringstream in(text.str());
    for (std::string word; in >> word;) words += " " + word;
    std::fprintf(stderr, "[%9.3f] control: applied%s\n", at,
                 words.empty() ? " (the command line's faults)" : (":" + words).c_str());
    return;
  }
  std::fprintf(stderr, "[%9.3f] control: %s; nothing changed\n", at, error.c_str());
}

// Points COMn at the device. A link left behind by a run that did not end
// cleanly is replaced; a real file of that name is not touched.
bool Register(const fs::path& link, const std::string& device, std::string& error) {
  std::error_code ec;
  fs::create_directories(link.parent_path(), ec);
  if (ec) {
    error = "cannot create " + link.parent_path().string() + ": " + ec.message();
    return false;
  }
  const auto status = fs::symlink_status(link, ec);
  if (fs::exists(status)) {
    if (!fs::is_symlink(status)) {
      error = link.string() + " exists and is not a link";
      return false;
    }
    std::fprintf(stderr, "ampsim: replacing the old link %s\n", link.c_str());
    fs::remove(link, ec);
  }
  fs::create_symlink(device, link, ec);
  if (ec) {
    error = "cannot link " + link.string() + ": " + ec.message();
    return false;
  }
  return true;
}

void Unregister(const fs::path& link, const std::string& device) {
  std::error_code ec;
  // Only our own link: another ampsim may have taken the name meanwhile.
  if (fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == device) {
    fs::remove(link, ec);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  AmpSimConfig config;
  std::string error;
  if (!ParseAmpSimArgs(args, config, error)) {
    std::fprintf(stderr, "ampsim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (config.help) {
    std::fputs(AmpSimHelp().c_str(), stdout);
    return 0;
  }

  AmpEngine engine(EngineOptionsFor(config));
  ApplyScenario(config, engine);
  const SimTime start = engine.Now();
  if (config.verbose) {
    engine.SetFrameObserver([start](const FrameEvent& event) {
      std::fprintf(stderr, "[%9.3f] %s\n", Since(start), DescribeFrame(event).c_str());
    });
  }

  PtyMaster pty;
  if (!pty.Open(error)) {
    std::fprintf(stderr, "ampsim: cannot create a pseudo-terminal: %s\n", error.c_str());
    return 1;
  }
  const fs::path link = DefaultPortsDir() / ("COM" + std::to_string(config.com));
  if (!Register(link, pty.SlavePath(), error)) {
    std::fprintf(stderr, "ampsim: %s\n", error.c_str());
    return 1;
  }
  InstallHandlers(!config.controlFile.empty());
  std::printf("%s\n", pty.SlavePath().c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "ampsim: COM%d is %s (link %s); stop with Ctrl+C\n", config.com,
               pty.SlavePath().c_str(), link.c_str());

  PtyBridge bridge(pty, engine);
  bridge.Run(gStop, [&] {
    if (gReload.exchange(false)) Reload(config, engine, start);
    if (gOnPulse.exchange(false)) {
      std::fprintf(stderr, "ampsim: ON line pulsed\n");
      engine.SetOnLine(true);
      engine.SetOnLine(false);
    }
  });

  if (engine.LinkCut()) {
    std::fprintf(stderr, "ampsim: link cut after %d frames\n", engine.FramesReceived());
  }
  pty.Close();
  Unregister(link, pty.SlavePath());
  std::fprintf(stderr, "ampsim: stopped after %d frames\n", engine.FramesReceived());
  return 0;
}
