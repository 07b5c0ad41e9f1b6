#include "tests/support/StandInD2xx.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace amppanel::test {
namespace {

std::string LoaderPath(std::string path) {
#if defined(_WIN32)
  // The build runs on the host; the tests run under wine, which sees the
  // host's root as drive Z.
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
#endif
  return path;
}

std::string FreshLogPath() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto name = "amppanel-d2xx-" + std::to_string(stamp) + "-" +
                    std::to_string(counter.fetch_add(1)) + ".log";
  return (std::filesystem::temp_directory_path() / name).string();
}

}  // namespace

std::string StandInLibrary() { return LoaderPath(AMP_STANDIN_D2XX); }
std::string StandInLibraryWithoutCyclePort() { return LoaderPath(AMP_STANDIN_D2XX_NOCYCLE); }

StandInSession::StandInSession() : StandInSession(Options{}) {}

StandInSession::StandInSession(Options o) : logPath_(FreshLogPath()) {
  auto set = [this](const char* name, std::optional<std::string> value) {
    env_.push_back(std::make_unique<ScopedEnv>(name, std::move(value)));
  };
  set("AMPPANEL_D2XX", o.library);
  set("AMPPANEL_D2XX_LOG", logPath_);
  set("AMPPANEL_D2XX_CONFIG", std::nullopt);
  set("AMPPANEL_D2XX_DEVICES", o.devices);
  set("AMPPANEL_D2XX_FAIL", o.fail.empty() ? std::nullopt : std::optional(o.fail));
  set("AMPPANEL_D2XX_CUT_AFTER", std::to_string(o.cutAfter));
  set("AMPPANEL_D2XX_AMPSIM", o.ampsim.empty() ? std::nullopt : std::optional(o.ampsim));
  (void)ResetStandIn(o.library);
}

StandInSession::~StandInSession() {
  const std::string library = StandInLibrary();
  env_.clear();
  (void)ResetStandIn(library);  // back to its defaults, every handle closed
  std::error_code ignored;
  std::filesystem::remove(logPath_, ignored);
}

std::vector<StandInCall> StandInSession::Log() const {
  std::vector<StandInCall> calls;
  std::ifstream in(logPath_);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    StandInCall c;
    if (!(fields >> c.ms)) continue;
    std::string rest;
    std::getline(fields, rest);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    c.text = rest;
    c.name = rest.substr(0, rest.find_first_of("( "));
    calls.push_back(std::move(c));
  }
  return calls;
}

std::vector<std::string> StandInSession::Calls() const {
  std::vector<std::string> names;
  for (const StandInCall& c : Log()) {
    if (c.name.rfind("FT_", 0) == 0) names.push_back(c.name);
  }
  return names;
}

std::vector<StandInCall> StandInSession::CallsOf(const std::string& name) const {
  std::vector<StandInCall> lines;
  for (StandInCall& c : Log()) {
    if (c.name == name) lines.push_back(std::move(c));
  }
  return lines;
}

}  // namespace amppanel::test
