#include "sim/d2xx/StandInConfig.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace amppanel {
namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = s.find(sep);
    parts.push_back(Trim(s.substr(0, at)));
    if (at == std::string_view::npos) break;
    s.remove_prefix(at + 1);
  }
  return parts;
}

template <class T>
bool Number(std::string_view s, T& out) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
  return ec == std::errc() && end == s.data() + s.size();
}

std::vector<std::string> Words(std::string_view s) {
  std::istringstream in{std::string(s)};
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

}  // namespace

bool StandInFailure::Matches(std::string_view name, std::string_view role, int count) const {
  if (call != name && call != role) return false;
  if (occurrence == 0) return true;
  return onward ? count >= occurrence : count == occurrence;
}

bool ParseStandInDevices(std::string_view text, std::vector<StandInDevice>& devices,
                         std::string& error) {
  devices.clear();
  if (Trim(text).empty() || Trim(text) == "none") return true;
  for (std::string_view item : Split(text, ',')) {
    StandInDevice d;
    const auto colon = item.find(':');
    d.id = std::string(Trim(item.substr(0, colon)));
    if (colon != std::string_view::npos && !Number(Trim(item.substr(colon + 1)), d.flags)) {
      error = "bad device flags in \"" + std::string(item) + "\"";
      return false;
    }
    devices.push_back(std::move(d));
  }
  return true;
}

bool ParseStandInFailures(std::string_view text, std::vector<StandInFailure>& failures,
                          std::string& error) {
  failures.clear();
  if (Trim(text).empty()) return true;
  for (std::string_view item : Split(text, ',')) {
    const auto parts = Split(item, ':');
    if (parts.size() != 3 || parts[0].empty()) {
      error = "a failure is CALL:OCCURRENCE:STATUS, not \"" + std::string(item) + "\"";
      return false;
    }
    StandInFailure f;
    f.call = std::string(parts[0]);
    std::string_view occurrence = parts[1];
    if (occurrence == "*") {
      f.occurrence = 0;
    } else {
      if (!occurrence.empty() && occurrence.back() == '+') {
        f.onward = true;
        occurrence.remove_suffix(1);
      }
      if (!Number(occurrence, f.occurrence) || f.occurrence < 1) {
        error = "bad occurrence in \"" + std::string(item) + "\"";
        return false;
      }
    }
    if (!Number(parts[2], f.status)) {
      error = "bad status in \"" + std::string(item) + "\"";
      return false;
    }
    failures.push_back(std::move(f));
  }
  return true;
}

bool ApplyStandInSetting(std::string_view key, std::string_view value, StandInConfig& config,
                         std::string& error) {
  value = Trim(value);
  if (key == "devices") return ParseStandInDevices(value, config.devices, error);
  if (key == "fail") return ParseStandInFailures(value, config.failures, error);
  if (key == "cut_after") {
    if (value.empty()) {
      config.cutAfterFrames = 0;
      return true;
    }
    if (!Number(value, config.cutAfterFrames) || config.cutAfterFrames < 0) {
      error = "bad cut_after \"" + std::string(value) + "\"";
      return false;
    }
    return true;
  }
  if (key == "ampsim") {
    config.ampsimArgs = Words(value);
    return true;
  }
  if (key == "log") {
    config.logPath = std::string(value);
    return true;
  }
  error = "unknown setting \"" + std::string(key) + "\"";
  return false;
}

bool ParseStandInConfigText(std::string_view text, StandInConfig& config, std::string& errors) {
  bool ok = true;
  int number = 0;
  for (std::string_view line : Split(text, '\n')) {
    ++number;
    if (line.empty() || line.front() == '#') continue;
    const auto eq = line.find('=');
    std::string error;
    if (eq == std::string_view::npos) {
      error = "expected key = value";
    } else if (ApplyStandInSetting(Trim(line.substr(0, eq)), line.substr(eq + 1), config, error)) {
      continue;
    }
    errors += "line " + std::to_string(number) + ": " + error + "\n";
    ok = false;
  }
  return ok;
}

StandInConfig LoadStandInConfig(const EnvLookup& env, std::string& errors) {
  StandInConfig config;
  if (const auto file = env(kStandInConfigVariable); file && !file->empty()) {
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      errors += *file + ": cannot be read\n";
    } else {
      std::ostringstream text;
      text << in.rdbuf();
      std::string fileErrors;
      if (!ParseStandInConfigText(text.str(), config, fileErrors))
        errors += *file + ": " + fileErrors;
    }
  }
  const std::pair<const char*, const char*> variables[] = {{kStandInDevicesVariable, "devices"},
                                                           {kStandInFailVariable, "fail"},
                                                           {kStandInCutAfterVariable, "cut_after"},
                                                           {kStandInAmpsimVariable, "ampsim"},
                                                           {kStandInLogVariable, "log"}};
  for (const auto& [variable, key] : variables) {
    const auto value = env(variable);
    if (!value) continue;
    std::string error;
    if (!ApplyStandInSetting(key, *value, config, error)) {
      errors += std::string(variable) + ": " + error + "\n";
    }
  }
  return config;
}

}  // namespace amppanel
