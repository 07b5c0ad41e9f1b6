#include "sim/AmpModel.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <numbers>

namespace amppanel {
namespace {

struct BandInfo {
  const char* name;
  int optimumL;
  int optimumC;
};

constexpr std::array<BandInfo, kBandCount> kBands{{
    {"160m", 230, 30},
    {"80m", 200, 52},
    {"60m", 180, 66},
    {"40m", 160, 84},
    {"30m", 140, 100},
    {"20m", 120, 118},
    {"17m", 104, 134},
    {"15m", 90, 150},
    {"12m", 76, 166},
    {"10m", 62, 182},
    {"6m", 40, 210},
}};

constexpr std::array<const char*, 5> kCatRadios{"ICOM", "YAESU", "KENWOOD", "ELECRAFT", "FLEX"};
constexpr std::array<int, 6> kCatBauds{4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::array<const char*, kMenuItems> kMenuNames{
    "CAT RADIO", "CAT BAUD RATE",    "BACKLIGHT",
    "KEY BEEP",  "TEMPERATURE UNIT", "ANTENNA FOLLOWS BAND"};

// The exciter keys the amplifier for this long out of every script period.
constexpr milliseconds kScriptPeriod{3000};
constexpr milliseconds kScriptKeyed{2000};
constexpr double kAmbientC = 32.0;
constexpr double kThermalSeconds = 20.0;
constexpr double kAlarmSwr = 3.0;
constexpr double kTuneCarrierW = 30.0;

// Columns of a framed meter line: label, bar (between its caps), value.
constexpr int kBarColumn = 5;
constexpr int kBarCells = 24;
constexpr int kValueEnd = 38;

__attribute__((format(printf, 1, 2))) std::string Fmt(const char* format, ...) {
  char buffer[64];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

double Seconds(SimTime::duration d) { return std::chrono::duration<double>(d).count(); }

const char* LevelName(PowerLevel level) {
  switch (level) {
    case PowerLevel::kLow:
      return "LOW";
    case PowerLevel::kMid:
      return "MID";
    case PowerLevel::kMax:
      break;
  }
  return "MAX";
}

}  // namespace

std::string KeyName(std::uint8_t code) {
  switch (code) {
    case key::kInput:
      return "INPUT";
    case key::kBandDown:
      return "BAND-";
    case key::kBandUp:
      return "BAND+";
    case key::kAntenna:
      return "ANT";
    case key::kLDown:
      return "L-";
    case key::kLUp:
      return "L+";
    case key::kCDown:
      return "C-";
    case key::kCUp:
      return "C+";
    case key::kTune:
      return "TUNE";
    case key::kOff:
      return "OFF";
    case key::kPower:
      return "POWER";
    case key::kDisplay:
      return "DISPLAY";
    case key::kOperate:
      return "OPERATE";
    case key::kCat:
      return "CAT";
    case key::kLeft:
      return "LEFT";
    case key::kRight:
      return "RIGHT";
    case key::kSet:
      return "SET";
    case key::kTuneOperate:
      return "TUNE (OPERATE)";
    case key::kInputDisplay:
      return "INPUT (DISPLAY)";
    case key::kCUpDisplay:
      return "C+ (DISPLAY)";
    case key::kCDownPower:
      return "C- (POWER)";
    case key::kCUpPower:
      return "C+ (POWER)";
    case key::kCDownCat:
      return "C- (CAT)";
    case key::kCUpCat:
      return "C+ (CAT)";
    case key::kLDownPower:
      return "L- (POWER)";
    case key::kLUpPower:
      return "L+ (POWER)";
    case key::kLDownCat:
      return "L- (CAT)";
    case key::kLUpCat:
      return "L+ (CAT)";
    case key::kArmLoader:
      return "UPDATE-ARM";
    case key::kCancel:
      return "CANCEL/HELLO";
    case key::kStartLoader:
      return "LOADER-START";
    case key::kFinishLoader:
      return "LOADER-FINISH";
    default:
      return {};
  }
}

AmpModel::AmpModel(AmpModelOptions options, SimTime now) : options_(options), last_(now) {
  state_.power = options_.poweredOn ? PowerState::kOn : PowerState::kOff;
  bandAntenna_.fill(1);
  // Stored settings slightly off the optimum, so that a tune visibly helps.
  for (int b = 0; b < kBandCount; ++b) {
    for (int a = 0; a < kAntennaCount; ++a) {
      memL_[b][a] = kBands[b].optimumL + a * 7 + 4;
      memC_[b][a] = kBands[b].optimumC - a * 5 - 3;
    }
  }
  state_.swr = Swr();
}

int AmpModel::OptimumL() const { return kBands[state_.band].optimumL + (state_.antenna - 1) * 7; }
int AmpModel::OptimumC() const { return kBands[state_.band].optimumC - (state_.antenna - 1) * 5; }
int& AmpModel::MemoryL() { return memL_[state_.band][state_.antenna - 1]; }
int& AmpModel::MemoryC() { return memC_[state_.band][state_.antenna - 1]; }
int AmpModel::MemoryL() const { return memL_[state_.band][state_.antenna - 1]; }
int AmpModel::MemoryC() const { return memC_[state_.band][state_.antenna - 1]; }

double AmpModel::Swr() const {
  const int off = std::abs(MemoryL() - OptimumL()) + std::abs(MemoryC() - OptimumC());
  return std::min(1.05 + 0.04 * off, 9.9);
}

bool AmpModel::Idle() const {
  return Ready() && state_.loader.phase != LoaderPhase::kActive &&
         state_.loader.phase != LoaderPhase::kEnded && !state_.operate && !state_.alarm &&
         !state_.tuning && !state_.menuOpen;
}

void AmpModel::Advance(SimTime now) {
  if (now < last_) now = last_;
  const double dt = Seconds(now - last_);
  last_ = now;

  if (state_.power == PowerState::kBooting && now >= bootEnd_) state_.power = PowerState::kOn;
  if (!state_.message.empty() && now >= messageEnd_) state_.message.clear();

  if (state_.tuning) {
    const double p = options_.tuneTime.count() <= 0
                         ? 1.0
                         : std::min(1.0, Seconds(now - tuneStart_) / Seconds(options_.tuneTime));
    MemoryL() = static_cast<int>(std::lround(tuneFromL_ + (OptimumL() - tuneFromL_) * p));
    MemoryC() = static_cast<int>(std::lround(tuneFromC_ + (OptimumC() - tuneFromC_) * p));
    if (p >= 1.0) {
      state_.tuning = false;
      if (tuneThenOperate_) state_.operate = true;
      Message(Fmt("TUNE OK  SWR %.2f", Swr()), now);
    }
  }
  UpdateMeters(now, dt);
}

void AmpModel::UpdateMeters(SimTime now, double seconds) {
  state_.swr = Swr();
  double out = 0;
  bool keyed = false;
  if (state_.power == PowerState::kOn && script_ && state_.operate && !state_.alarm &&
      !state_.tuning) {
    const auto phase = (now - scriptStart_) % kScriptPeriod;
    keyed = phase < kScriptKeyed;
    if (keyed) {
      double levelW = state_.maxPowerW;
      if (state_.level == PowerLevel::kLow) levelW /= 4;
      if (state_.level == PowerLevel::kMid) levelW /= 2;
      const double t = Seconds(phase);
      const double envelope = 0.75 + 0.25 * std::sin(2 * std::numbers::pi * t / 0.7);
      out = levelW * state_.driveLimitPct / 100.0 * envelope;
    }
  } else if (state_.tuning) {
    out = kTuneCarrierW;
  }
  if (keyed && state_.swr > kAlarmSwr) {
    // A badly matched antenna would destroy the tube: drop to standby at once.
    state_.alarm = true;
    state_.alarmText = "HIGH SWR";
    state_.operate = false;
    keyed = false;
    out = 0;
  }
  state_.transmitting = keyed;
  const double rho = (state_.swr - 1) / (state_.swr + 1);
  state_.outputW = out;
  state_.reflectedW = out * rho * rho;
  const double target = kAmbientC + 40.0 * out / 1000.0;
  state_.temperatureC +=
      (target - state_.temperatureC) * (1 - std::exp(-seconds / kThermalSeconds));
}

void AmpModel::Message(std::string text, SimTime now) {
  state_.message = std::move(text);
  messageEnd_ = now + options_.messageTime;
}

void AmpModel::OnLine(bool high, SimTime now) {
  Advance(now);
  if (high) {
    lineHigh_ = true;
    return;
  }
  if (!lineHigh_) return;
  lineHigh_ = false;
  if (state_.power != PowerState::kOff) return;
  state_.power = PowerState::kBooting;
  bootStart_ = now;
  bootEnd_ = now + options_.bootTime;
  bootText_ = "SELF TEST";
  Advance(now);
}

void AmpModel::PowerOff() {
  state_.power = PowerState::kOff;
  state_.operate = state_.transmitting = state_.tuning = state_.menuOpen = false;
  state_.alarm = false;
  state_.alarmText.clear();
  state_.message.clear();
  state_.outputW = state_.reflectedW = 0;
  state_.loader = {};
}

void AmpModel::Restart(SimTime now, std::string firmware) {
  PowerOff();
  state_.firmware = std::move(firmware);
  state_.power = PowerState::kBooting;
  bootStart_ = now;
  bootEnd_ = now + options_.bootTime;
  bootText_ = "FIRMWARE UPDATED - RESTARTING";
  Advance(now);
}

void AmpModel::SetTransmitScript(bool on, SimTime now) {
  Advance(now);
  if (on && !script_) scriptStart_ = now;
  script_ = on;
  UpdateMeters(now, 0);
}

void AmpModel::RaiseAlarm(std::string text) {
  if (!Ready()) return;
  state_.alarm = true;
  state_.alarmText = std::move(text);
  state_.operate = state_.transmitting = state_.tuning = false;
  state_.outputW = state_.reflectedW = 0;
}

void AmpModel::SetLoaderView(const LoaderView& view) { state_.loader = view; }

void AmpModel::StartTune(bool thenOperate, SimTime now) {
  state_.tuning = true;
  tuneThenOperate_ = thenOperate;
  tuneStart_ = now;
  tuneFromL_ = MemoryL();
  tuneFromC_ = MemoryC();
  state_.message.clear();
  Advance(now);
}

void AmpModel::ChangeBand(int delta, SimTime now) {
  const int band = std::clamp(state_.band + delta, 0, kBandCount - 1);
  if (band == state_.band) {
    Message(delta < 0 ? "LOWEST BAND" : "HIGHEST BAND", now);
    return;
  }
  state_.band = band;
  if (state_.antennaFollowsBand) state_.antenna = bandAntenna_[band];
}

void AmpModel::Key(std::uint8_t code, SimTime now) {
  Advance(now);
  if (!Ready()) return;  // a dark amplifier only listens to its ON line
  switch (code) {
    case key::kCancel:
      state_.remote = true;
      return;
    case key::kArmLoader:
    case key::kStartLoader:
    case key::kFinishLoader:
      return;  // the loader conversation belongs to the engine
    default:
      break;
  }
  if (code == key::kOff) {
    PowerOff();
    return;
  }
  if (state_.loader.phase == LoaderPhase::kActive || state_.loader.phase == LoaderPhase::kEnded) {
    return;  // the loader owns the amplifier until it finishes or is cancelled
  }
  if (state_.alarm) {
    // Any key acknowledges the alarm; the key itself does nothing else.
    if (KeyName(code).empty()) return;
    state_.alarm = false;
    state_.alarmText.clear();
    Message("ALARM CLEARED", now);
    return;
  }
  if (state_.tuning) {
    if (code == key::kTune || code == key::kTuneOperate) {
      state_.tuning = false;
      Message("TUNE ABORTED", now);
    }
    return;
  }
  if (state_.menuOpen) {
    MenuKey(code, now);
    return;
  }

  auto& s = state_;
  switch (code) {
    case key::kInput:
      if (s.inputLocked) {
        Message("INPUT LOCKED", now);
      } else {
        s.input = 3 - s.input;
      }
      break;
    case key::kBandDown:
      ChangeBand(-1, now);
      break;
    case key::kBandUp:
      ChangeBand(+1, now);
      break;
    case key::kAntenna:
      s.antenna = s.antenna % kAntennaCount + 1;
      bandAntenna_[s.band] = s.antenna;
      break;
    case key::kLDown:
      MemoryL() = std::max(MemoryL() - 1, 0);
      break;
    case key::kLUp:
      MemoryL() = std::min(MemoryL() + 1, 255);
      break;
    case key::kCDown:
      MemoryC() = std::max(MemoryC() - 1, 0);
      break;
    case key::kCUp:
      MemoryC() = std::min(MemoryC() + 1, 255);
      break;
    case key::kTune:
      StartTune(false, now);
      break;
    case key::kTuneOperate:
      StartTune(true, now);
      break;
    case key::kPower:
      s.level = s.level == PowerLevel::kLow   ? PowerLevel::kMid
                : s.level == PowerLevel::kMid ? PowerLevel::kMax
                                              : PowerLevel::kLow;
      break;
    case key::kDisplay:
    case key::kRight:
      s.page = static_cast<Page>((static_cast<int>(s.page) + 1) % 3);
      break;
    case key::kLeft:
      s.page = static_cast<Page>((static_cast<int>(s.page) + 2) % 3);
      break;
    case key::kOperate:
      s.operate = !s.operate;
      break;
    case key::kCat:
      s.cat = !s.cat;
      break;
    case key::kSet:
      s.menuOpen = true;
      s.menuItem = 0;
      s.message.clear();
      break;
    case key::kInputDisplay:
      s.inputLocked = !s.inputLocked;
      Message(s.inputLocked ? "INPUT LOCKED" : "INPUT UNLOCKED", now);
      break;
    case key::kCUpDisplay:
      s.backlight = s.backlight % 5 + 1;
      Message(Fmt("BACKLIGHT %d", s.backlight), now);
      break;
    case key::kCDownPower:
    case key::kCUpPower:
      s.driveLimitPct = std::clamp(s.driveLimitPct + (code == key::kCUpPower ? 5 : -5), 50, 100);
      Message(Fmt("DRIVE LIMIT %d%%", s.driveLimitPct), now);
      break;
    case key::kLDownPower:
    case key::kLUpPower:
      s.maxPowerW = std::clamp(s.maxPowerW + (code == key::kLUpPower ? 50 : -50), 200, 1000);
      Message(Fmt("MAX POWER %d W", s.maxPowerW), now);
      break;
    case key::kCDownCat:
    case key::kCUpCat:
      ChangeMenuValue(1, code == key::kCUpCat ? 1 : -1);
      Message("CAT BAUD RATE " + MenuValue(1), now);
      break;
    case key::kLDownCat:
    case key::kLUpCat:
      ChangeMenuValue(0, code == key::kLUpCat ? 1 : -1);
      Message("CAT RADIO " + MenuValue(0), now);
      break;
    default:
      return;  // not a key of this amplifier
  }
  Advance(now);
}

void AmpModel::MenuKey(std::uint8_t code, SimTime now) {
  auto& s = state_;
  switch (code) {
    case key::kLeft:
      s.menuItem = (s.menuItem + kMenuItems - 1) % kMenuItems;
      break;
    case key::kRight:
      s.menuItem = (s.menuItem + 1) % kMenuItems;
      break;
    case key::kLDown:
    case key::kCDown:
      ChangeMenuValue(s.menuItem, -1);
      break;
    case key::kLUp:
    case key::kCUp:
      ChangeMenuValue(s.menuItem, +1);
      break;
    case key::kSet:
      s.menuOpen = false;
      Message("SETTINGS SAVED", now);
      break;
    default:
      if (!KeyName(code).empty()) Message("PRESS SET TO LEAVE THE MENU", now);
      break;
  }
}

std::string AmpModel::MenuValue(int item) const {
  const auto& s = state_;
  switch (item) {
    case 0:
      return kCatRadios[static_cast<std::size_t>(s.catRadio)];
    case 1:
      return std::to_string(kCatBauds[static_cast<std::size_t>(s.catBaud)]);
    case 2:
      return std::to_string(s.backlight);
    case 3:
      return s.keyBeep ? "ON" : "OFF";
    case 4:
      return s.fahrenheit ? "FAHRENHEIT" : "CELSIUS";
    default:
      return s.antennaFollowsBand ? "ON" : "OFF";
  }
}

void AmpModel::ChangeMenuValue(int item, int delta) {
  auto& s = state_;
  const int radios = static_cast<int>(kCatRadios.size());
  switch (item) {
    case 0:
      s.catRadio = (s.catRadio + delta + radios) % radios;
      break;
    case 1:
      s.catBaud = std::clamp(s.catBaud + delta, 0, static_cast<int>(kCatBauds.size()) - 1);
      break;
    case 2:
      s.backlight = std::clamp(s.backlight + delta, 1, 5);
      break;
    case 3:
      s.keyBeep = !s.keyBeep;
      break;
    case 4:
      s.fahrenheit = !s.fahrenheit;
      break;
    default:
      s.antennaFollowsBand = !s.antennaFollowsBand;
      break;
  }
}

std::uint8_t AmpModel::Lamps() const {
  const auto& s = state_;
  if (s.power == PowerState::kOff) return 0;
  if (s.power == PowerState::kBooting) return 0xFF;  // lamp test during the self test
  std::uint8_t b = lamp::kOn;
  if (s.loader.phase == LoaderPhase::kActive || s.loader.phase == LoaderPhase::kEnded) {
    return b | lamp::kSet;
  }
  if (s.alarm) b |= lamp::kAlarm;
  if (s.tuning) b |= lamp::kTune;
  if (s.menuOpen) b |= lamp::kSet;
  if (s.operate) b |= lamp::kOperate;
  if (s.operate && s.transmitting) b |= lamp::kTransmit;
  if (s.cat) b |= lamp::kCat;
  return b;
}

AmpState AmpModel::State() const {
  AmpState copy = state_;
  copy.l = MemoryL();
  copy.c = MemoryC();
  return copy;
}

std::string AmpModel::Temperature(double celsius) const {
  if (state_.fahrenheit) return Fmt("%3.0f F", celsius * 9 / 5 + 32);
  return Fmt("%3.0f C", celsius);
}

// ---- display pages ----

void AmpModel::ComposeHeader(Screen& s) const {
  const auto& st = state_;
  s.Text(1, 0, kBands[st.band].name);
  s.Text(7, 0, Fmt("ANT %d", st.antenna));
  s.Text(14, 0, Fmt("IN %d", st.input));
  s.Text(20, 0, LevelName(st.level));
  if (st.cat) s.Text(25, 0, "CAT");
  if (st.remote) s.Text(30, 0, "PC");
  const char* mode = st.tuning ? "TUNE" : st.transmitting ? " TX " : st.operate ? "OPER" : "STBY";
  s.Text(35, 0, mode);
  if (st.operate || st.tuning) s.Invert(34, 0, 6);
}

namespace {

// The bottom line: a transient message, else the update prompt, else a hint.
void Footer(Screen& s, const AmpState& st, std::string_view hint) {
  if (!st.message.empty()) {
    s.TextCentred(7, st.message);
  } else if (st.loader.phase == LoaderPhase::kArmed) {
    s.TextCentred(7, "FIRMWARE UPDATE: CHOOSE PACKAGE ON PC");
  } else {
    s.Text(1, 7, hint);
  }
}

void MeterLine(Screen& s, int row, std::string_view label, double value, double full,
               const std::string& text) {
  s.Text(1, row, label);
  s.Bar(kBarColumn, row, kBarCells, value, full);
  s.TextRight(kValueEnd, row, text);
}

}  // namespace

void AmpModel::ComposeMeters(Screen& s) const {
  const auto& st = state_;
  ComposeHeader(s);
  s.Frame(0, 1, 39, 5);
  MeterLine(s, 2, "PWR", st.outputW, 1200, Fmt("%4.0f W", st.outputW));
  MeterLine(s, 3, "SWR", st.swr - 1, 2, Fmt("%4.2f", st.swr));
  MeterLine(s, 4, "TMP", st.temperatureC - 20, 70, Temperature(st.temperatureC));
  s.Put(kValueEnd - 2, 4, glyph::kDegree);  // "45 C" becomes "45°C"
  s.Text(1, 6, Fmt("L %3d  C %3d", MemoryL(), MemoryC()));
  const double volts = 50.0 - 2.0 * st.outputW / 1000;
  const double amps = st.outputW > 0 ? st.outputW / (volts * 0.62) : 0.4;
  s.TextRight(kValueEnd, 6, Fmt("%4.1f V  %4.1f A", volts, amps));
  Footer(s, st, "DISPLAY: NEXT PAGE   SET: MENU");
}

void AmpModel::ComposeMeasures(Screen& s) const {
  const auto& st = state_;
  ComposeHeader(s);
  s.Frame(0, 1, 39, 6);
  const double volts = 50.0 - 2.0 * st.outputW / 1000;
  const double amps = st.outputW > 0 ? st.outputW / (volts * 0.62) : 0.4;
  s.Text(2, 2, "PA VOLTAGE");
  s.TextRight(kValueEnd, 2, Fmt("%5.1f V", volts));
  s.Text(2, 3, "PA CURRENT");
  s.TextRight(kValueEnd, 3, Fmt("%5.1f A", amps));
  s.Text(2, 4, "REFLECTED");
  s.TextRight(kValueEnd, 4, Fmt("%5.0f W", st.reflectedW));
  s.Text(2, 5, "TEMP");
  s.Bar(8, 5, 20, st.temperatureC - 20, 70);
  s.TextRight(kValueEnd, 5, Temperature(st.temperatureC));
  s.Put(kValueEnd - 2, 5, glyph::kDegree);
  Footer(s, st, "DISPLAY: NEXT PAGE   SET: MENU");
}

void AmpModel::ComposeInfo(Screen& s) const {
  const auto& st = state_;
  ComposeHeader(s);
  s.TextCentred(2, "KALDOR R40-XT  LINEAR AMPLIFIER");
  s.Text(1, 3, "FIRMWARE " + st.firmware);
  s.TextRight(kValueEnd + 1, 3, "SERIAL 40A-0117");
  s.Text(1, 4,
         std::string("CAT ") + (st.cat ? "ON  " : "OFF ") + MenuValue(0) + " " + MenuValue(1));
  s.Text(1, 5, Fmt("MAX POWER %d W  DRIVE LIMIT %d%%", st.maxPowerW, st.driveLimitPct));
  s.Text(1, 6, std::string("REMOTE ") + (st.remote ? "PC LINKED" : "NONE"));
  Footer(s, st, "DISPLAY: NEXT PAGE   SET: MENU");
}

void AmpModel::ComposeMenu(Screen& s) const {
  const auto& st = state_;
  s.TextCentred(0, "SET MENU");
  s.Invert(0, 0, Screen::kColumns);
  for (int i = 0; i < kMenuItems; ++i) {
    const int row = 1 + i;
    s.Text(3, row, kMenuNames[static_cast<std::size_t>(i)]);
    s.TextRight(kValueEnd, row, MenuValue(i));
    if (i == st.menuItem) {
      s.Put(1, row, glyph::kArrowRight);
      s.Invert(2, row, kValueEnd - 1);
    }
  }
  if (!st.message.empty()) {
    s.TextCentred(7, st.message);
  } else {
    s.Put(1, 7, glyph::kArrowLeft);
    s.Put(2, 7, glyph::kArrowRight);
    s.Text(4, 7, "SELECT   L/C: CHANGE   SET: EXIT");
  }
}

void AmpModel::ComposeTune(Screen& s) const {
  const auto& st = state_;
  ComposeHeader(s);
  s.TextCentred(2, "AUTOMATIC TUNING");
  MeterLine(s, 3, "L", MemoryL(), 255, Fmt("%3d", MemoryL()));
  MeterLine(s, 4, "C", MemoryC(), 255, Fmt("%3d", MemoryC()));
  MeterLine(s, 5, "SWR", st.swr - 1, 2, Fmt("%4.2f", st.swr));
  s.Text(1, 7, "TUNE: ABORT");
}

void AmpModel::ComposeAlarm(Screen& s) const {
  const auto& st = state_;
  ComposeHeader(s);
  s.Frame(8, 2, 31, 5);
  s.TextCentred(3, " ALARM ");
  s.Invert(16, 3, 8);
  s.TextCentred(4, st.alarmText);
  s.TextCentred(7, "PRESS ANY KEY");
}

void AmpModel::ComposeBoot(Screen& s) const {
  s.TextCentred(2, "KALDOR R40-XT");
  s.TextCentred(4, bootText_);
  const double total = Seconds(bootEnd_ - bootStart_);
  const double done = total > 0 ? Seconds(last_ - bootStart_) : 1;
  s.Bar(7, 5, kBarCells, done, total > 0 ? total : 1);
}

void AmpModel::ComposeLoader(Screen& s) const {
  const auto& ld = state_.loader;
  s.Frame(0, 0, 39, 7);
  s.TextCentred(1, "FIRMWARE LOADER");
  s.Invert(12, 1, 16);
  if (ld.phase == LoaderPhase::kEnded) {
    s.TextCentred(3, "PACKAGE COMPLETE");
  } else if (ld.blocks == 0) {
    s.TextCentred(3, "WAITING FOR BLOCKS");
  } else {
    s.TextCentred(3, Fmt("RECEIVING BLOCK %d", ld.blocks));
  }
  s.TextCentred(4, std::to_string(ld.bytes) + " BYTES RECEIVED");
  s.TextCentred(6, "DO NOT SWITCH OFF");
}

Screen AmpModel::Compose() const {
  Screen s;
  const auto& st = state_;
  if (st.power == PowerState::kOff) return s;  // dark: all blank, nothing inverted
  if (st.power == PowerState::kBooting) {
    ComposeBoot(s);
  } else if (st.loader.phase == LoaderPhase::kActive || st.loader.phase == LoaderPhase::kEnded) {
    ComposeLoader(s);
  } else if (st.alarm) {
    ComposeAlarm(s);
  } else if (st.tuning) {
    ComposeTune(s);
  } else if (st.menuOpen) {
    ComposeMenu(s);
  } else if (st.page == Page::kMeters) {
    ComposeMeters(s);
  } else if (st.page == Page::kMeasures) {
    ComposeMeasures(s);
  } else {
    ComposeInfo(s);
  }
  return s;
}

}  // namespace amppanel
