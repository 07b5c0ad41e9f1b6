// The front-panel behaviour of the virtual amplifier: what each key does, how
// the meters move, what the display shows and which lamps the status byte
// lights. No I/O and no locking; time is handed in by the caller.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "sim/Screen.h"

namespace amppanel {

using SimTime = std::chrono::steady_clock::time_point;
using std::chrono::milliseconds;

// Lamp bits of the complemented status byte.
namespace lamp {
inline constexpr std::uint8_t kAlarm = 0x80;
inline constexpr std::uint8_t kTune = 0x40;
inline constexpr std::uint8_t kSet = 0x20;
inline constexpr std::uint8_t kOperate = 0x10;
inline constexpr std::uint8_t kTransmit = 0x08;  // lights TX only together with kOperate
inline constexpr std::uint8_t kCat = 0x02;       // lights nothing on the panel
inline constexpr std::uint8_t kOn = 0x01;
}  // namespace lamp

// Key codes the amplifier acts on.
namespace key {
inline constexpr std::uint8_t kInput = 1;
inline constexpr std::uint8_t kBandDown = 2;
inline constexpr std::uint8_t kBandUp = 3;
inline constexpr std::uint8_t kAntenna = 4;
inline constexpr std::uint8_t kLDown = 5;
inline constexpr std::uint8_t kLUp = 6;
inline constexpr std::uint8_t kCDown = 7;
inline constexpr std::uint8_t kCUp = 8;
inline constexpr std::uint8_t kTune = 9;
inline constexpr std::uint8_t kOff = 10;
inline constexpr std::uint8_t kPower = 11;
inline constexpr std::uint8_t kDisplay = 12;
inline constexpr std::uint8_t kOperate = 13;
inline constexpr std::uint8_t kCat = 14;
inline constexpr std::uint8_t kLeft = 15;
inline constexpr std::uint8_t kRight = 16;
inline constexpr std::uint8_t kSet = 17;
inline constexpr std::uint8_t kTuneOperate = 18;   // TUNE with OPERATE held
inline constexpr std::uint8_t kInputDisplay = 19;  // INPUT with DISPLAY held
inline constexpr std::uint8_t kCUpDisplay = 21;
inline constexpr std::uint8_t kCDownPower = 24;
inline constexpr std::uint8_t kCUpPower = 25;
inline constexpr std::uint8_t kCDownCat = 26;
inline constexpr std::uint8_t kCUpCat = 27;
inline constexpr std::uint8_t kLDownPower = 28;
inline constexpr std::uint8_t kLUpPower = 29;
inline constexpr std::uint8_t kLDownCat = 30;
inline constexpr std::uint8_t kLUpCat = 31;
inline constexpr std::uint8_t kArmLoader = 100;
inline constexpr std::uint8_t kCancel = 101;  // also sent when a panel connects
inline constexpr std::uint8_t kStartLoader = 102;
inline constexpr std::uint8_t kFinishLoader = 103;
}  // namespace key

// The name of a key or command code for logs ("OPERATE", "C+ (POWER)");
// empty for a code the amplifier does not know.
std::string KeyName(std::uint8_t code);

enum class PowerState { kOff, kBooting, kOn };
enum class PowerLevel { kLow, kMid, kMax };
enum class Page { kMeters, kMeasures, kInfo };
enum class LoaderPhase { kIdle, kArmed, kActive, kEnded };

inline constexpr int kBandCount = 11;
inline constexpr int kAntennaCount = 4;
inline constexpr int kMenuItems = 6;

struct AmpModelOptions {
  bool poweredOn = true;
  milliseconds bootTime{1500};
  milliseconds tuneTime{2500};
  milliseconds messageTime{2000};
};

// What the loader conversation shows on the display.
struct LoaderView {
  LoaderPhase phase = LoaderPhase::kIdle;
  int blocks = 0;
  std::size_t bytes = 0;
};

// A copy of the amplifier's state, for tests and logs.
struct AmpState {
  PowerState power = PowerState::kOn;
  bool operate = false;
  bool transmitting = false;
  bool tuning = false;
  bool menuOpen = false;
  int menuItem = 0;
  bool alarm = false;
  std::string alarmText;
  int band = 5;  // index into the band table: 20 m
  int antenna = 1;
  int input = 1;
  bool inputLocked = false;
  PowerLevel level = PowerLevel::kMax;
  Page page = Page::kMeters;
  bool cat = false;
  bool remote = false;  // a panel announced itself
  int catRadio = 0;
  int catBaud = 2;
  int backlight = 3;
  bool keyBeep = true;
  bool fahrenheit = false;
  bool antennaFollowsBand = true;
  int maxPowerW = 1000;
  int driveLimitPct = 100;
  int l = 0;  // network positions of the current band and antenna, 0-255
  int c = 0;
  double outputW = 0;
  double reflectedW = 0;
  double swr = 1.0;
  double temperatureC = 32;
  std::string message;  // transient line at the bottom of the display
  std::string firmware = "2.14";
  LoaderView loader;
};

class AmpModel {
 public:
  explicit AmpModel(AmpModelOptions options = {}, SimTime now = {});

  // Moves time on: boot, tuning, the transmit script, meters, temperature.
  void Advance(SimTime now);
  // A key or command code from the panel (loader codes only change what is shown).
  void Key(std::uint8_t code, SimTime now);
  // The ON line: raised, then lowered, powers the amplifier up.
  void OnLine(bool high, SimTime now);
  void PowerOff();
  // Restarts the amplifier as after a firmware update.
  void Restart(SimTime now, std::string firmware);
  // While on, the exciter keys the amplifier for 2 s of every 3 s.
  void SetTransmitScript(bool on, SimTime now);
  void RaiseAlarm(std::string text);
  void SetLoaderView(const LoaderView& view);

  // Powered on and ready for commands (not booting).
  bool Ready() const { return state_.power == PowerState::kOn; }
  // Standby without alarm, tune or set menu: the loader may start.
  bool Idle() const;
  std::uint8_t Lamps() const;
  std::uint8_t StatusByte() const { return static_cast<std::uint8_t>(~Lamps()); }
  Screen Compose() const;
  AmpState State() const;

 private:
  void MenuKey(std::uint8_t code, SimTime now);
  void StartTune(bool thenOperate, SimTime now);
  void Message(std::string text, SimTime now);
  void ChangeBand(int delta, SimTime now);
  void UpdateMeters(SimTime now, double seconds);
  int OptimumL() const;
  int OptimumC() const;
  int& MemoryL();
  int& MemoryC();
  int MemoryL() const;
  int MemoryC() const;
  double Swr() const;
  std::string MenuValue(int item) const;
  void ChangeMenuValue(int item, int delta);

  void ComposeHeader(Screen& s) const;
  void ComposeMeters(Screen& s) const;
  void ComposeMeasures(Screen& s) const;
  void ComposeInfo(Screen& s) const;
  void ComposeMenu(Screen& s) const;
  void ComposeTune(Screen& s) const;
  void ComposeAlarm(Screen& s) const;
  void ComposeBoot(Screen& s) const;
  void ComposeLoader(Screen& s) const;
  std::string Temperature(double celsius) const;

  AmpModelOptions options_;
  AmpState state_;
  SimTime last_;
  SimTime bootEnd_{};
  SimTime bootStart_{};
  std::string bootText_ = "SELF TEST";
  SimTime tuneStart_{};
  int tuneFromL_ = 0;
  int tuneFromC_ = 0;
  bool tuneThenOperate_ = false;
  SimTime messageEnd_{};
  bool lineHigh_ = false;
  bool script_ = false;
  SimTime scriptStart_{};
  std::array<int, kBandCount> bandAntenna_{};
  std::array<std::array<int, kAntennaCount>, kBandCount> memL_{};
  std::array<std::array<int, kAntennaCount>, kBandCount> memC_{};
};

}  // namespace amppanel
