// The amplifier's front-panel keys as the PC presses them: the codes that go
// out in key frames, the held DISPLAY, OPERATE, POWER and CAT buttons that turn
// the next key into a combination, the down states of the keypad buttons, and
// the keyboard maps of the three windows. The keypad windows and the main
// window only forward their events here and show the result.
//
// Keyboard maps are written in Windows virtual-key terms; the UI layer turns
// its toolkit's key codes into these in one place.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/BuildProfile.h"

namespace amppanel {

// The eighteen front-panel keys. Each has one action in the main window and
// one button on each keypad window that shows it, so the same value names the
// key, its action and its buttons. Listed in the order the key actions are
// enabled and disabled.
enum class PanelKey : std::uint8_t {
  kInput,
  kAnt,
  kLMinus,
  kLPlus,
  kBandMinus,
  kBandPlus,
  kCMinus,
  kCPlus,
  kTune,
  kSet,
  kLeftArrow,
  kRightArrow,
  kDisplay,
  kPower,
  kOperate,
  kCat,
  kOff,
  kOn,
};
inline constexpr std::size_t kPanelKeyCount = 18;

constexpr std::size_t Index(PanelKey key) { return static_cast<std::size_t>(key); }

// Every key in enabling order.
std::span<const PanelKey> AllPanelKeys();
// "actInput", "actBandMinus", ... (the action names of the main window).
inline constexpr std::array<std::string_view, kPanelKeyCount> kKeyActionNames{
    "actInput",   "actAnt",   "actLMinus",  "actLPlus", "actBandMinus", "actBandPlus",
    "actCMinus",  "actCPlus", "actTune",    "actSet",   "actLeftArrow", "actRightArrow",
    "actDisplay", "actPower", "actOperate", "actCAT",   "actOff",       "actOn"};
constexpr std::string_view ActionName(PanelKey key) { return kKeyActionNames[Index(key)]; }

// One byte per key frame. OFF's code goes out only after the operator agreed;
// ON has no code (it pulses a control line).
struct KeyCodeEntry {
  std::uint8_t code;
  std::string_view meaning;
};
// Every code the key actions send, ascending.
std::span<const KeyCodeEntry> KeyCodeTable();
inline constexpr std::uint8_t kOffKeyCode = 10;
// How long ON holds the control line up.
inline constexpr std::chrono::milliseconds kOnPulse{1000};

// The four buttons of the full keypad that can stay down as a modifier.
enum class HoldKey : std::uint8_t { kDisplay, kOperate, kPower, kCat };
PanelKey ButtonOf(HoldKey hold);

struct HeldKeys {
  bool display = false;
  bool operate = false;
  bool power = false;
  bool cat = false;
};

// What pressing a key amounts to: the code to send (none for ON) and the held
// button the combination used up.
struct KeyCommand {
  std::optional<std::uint8_t> code;
  std::optional<HoldKey> release;
  friend bool operator==(const KeyCommand&, const KeyCommand&) = default;
};
KeyCommand CommandFor(PanelKey key, const HeldKeys& held);

// ---- keypad buttons ----------------------------------------------------------

// Down state and group flag of a keypad window's buttons. A button in group 0
// cannot stay down; the group-1 buttons of one panel are an exclusive set in
// which no button needs to be down.
class ButtonStates {
 public:
  // panelOf[key]: the panel that holds the key's button, or kNoButton where the
  // window has none (every operation on it is ignored).
  static constexpr int kNoButton = -1;
  explicit ButtonStates(const std::array<int, kPanelKeyCount>& panelOf);

  bool Has(PanelKey key) const { return panel_[Index(key)] != kNoButton; }
  bool Down(PanelKey key) const { return down_[Index(key)]; }
  bool Grouped(PanelKey key) const { return grouped_[Index(key)]; }

  // Group 1, then down: the panel's other down buttons come up.
  void Press(PanelKey key);
  // Group 0, then up.
  void Release(PanelKey key);
  // Group 1, then the opposite down state; the button stays in group 1.
  void ToggleHold(PanelKey key);
  // The holdable buttons that are down, as the key actions read them.
  HeldKeys Held() const;

 private:
  void SetDown(PanelKey key, bool down);

  std::array<int, kPanelKeyCount> panel_;
  std::array<bool, kPanelKeyCount> down_{};
  std::array<bool, kPanelKeyCount> grouped_{};
};

// ---- keyboard maps -------------------------------------------------------------

namespace vk {
inline constexpr std::uint16_t kA = 0x41;
inline constexpr std::uint16_t kB = 0x42;
inline constexpr std::uint16_t kC = 0x43;
inline constexpr std::uint16_t kD = 0x44;
inline constexpr std::uint16_t kF = 0x46;
inline constexpr std::uint16_t kI = 0x49;
inline constexpr std::uint16_t kK = 0x4B;
inline constexpr std::uint16_t kL = 0x4C;
inline constexpr std::uint16_t kN = 0x4E;
inline constexpr std::uint16_t kO = 0x4F;
inline constexpr std::uint16_t kP = 0x50;
inline constexpr std::uint16_t kS = 0x53;
inline constexpr std::uint16_t kT = 0x54;
inline constexpr std::uint16_t kU = 0x55;
inline constexpr std::uint16_t kAdd = 0x6B;       // numeric-pad plus
inline constexpr std::uint16_t kSubtract = 0x6D;  // numeric-pad minus
inline constexpr std::uint16_t kOemPlus = 0xBB;   // the =/+ key
inline constexpr std::uint16_t kOemMinus = 0xBD;  // the -/_ key
}  // namespace vk

enum class ButtonOp : std::uint8_t { kNone, kPress, kPressAndExecute, kRelease, kToggleHold };

struct ButtonStep {
  ButtonOp op = ButtonOp::kNone;
  PanelKey button = PanelKey::kInput;
};

// What one virtual key does to a keypad's buttons, without and with Ctrl.
struct KeyRule {
  std::uint16_t vk;
  ButtonStep plain;
  ButtonStep ctrl;
};

struct KeyMap {
  std::span<const KeyRule> down;
  std::span<const KeyRule> up;
};
const KeyMap& FullKeypadMap();
const KeyMap& BasicKeypadMap();

// The step of `vk`; kNone for a key the map does not name.
ButtonStep FindStep(std::span<const KeyRule> rules, std::uint16_t vk, bool ctrl);
// Mirrors a key-down on the buttons; returns the key whose action the key-down
// itself executes (the Ctrl steps of the full keypad), if any.
std::optional<PanelKey> KeyDown(const KeyMap& map, ButtonStates& buttons, std::uint16_t vk,
                                bool ctrl);
void KeyUp(const KeyMap& map, ButtonStates& buttons, std::uint16_t vk, bool ctrl);

// The main window's typed characters, upper and lower case alike.
std::optional<PanelKey> CharacterKey(char typed);

// The letter after the single "&" of a caption, upper case; 0 for none.
char Accelerator(std::string_view caption);

// One wheel notch over the full keypad with the pointer last reported over
// `target` (a button; none for the window, a panel or no report yet).
std::optional<PanelKey> WheelStep(std::optional<PanelKey> target, bool towardsUser);

// ---- lamps ---------------------------------------------------------------------

inline constexpr Rgb kMaroon{128, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kOlive{128, 128, 0};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kLime{0, 255, 0};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kBlack{0, 0, 0};

enum class Lamp : std::uint8_t { kAlarm, kTune, kSet, kOn, kOperate, kTransmit };
inline constexpr std::size_t kLampCount = 6;

struct LampLook {
  Rgb back;
  Rgb text;
  friend bool operator==(const LampLook&, const LampLook&) = default;
};
// A lamp of the full keypad for the lamp byte (the complement of the status).
bool LampLit(Lamp lamp, std::uint8_t lamps);
LampLook FullKeypadLamp(Lamp lamp, std::uint8_t lamps);

// The basic keypad's four caption-less strips; its OP strip also shows transmit.
struct BasicStrips {
  Rgb on;
  Rgb op;
  Rgb tune;
  Rgb alarm;
  friend bool operator==(const BasicStrips&, const BasicStrips&) = default;
};
BasicStrips BasicKeypadStrips(std::uint8_t lamps);

// For screen readers. What a key does, in words: the captions are arrows and
// padding ("L      " beside a left-pointing arrow reads "L down").
std::string_view SpokenKeyName(PanelKey key);
// A lamp and its state: "TX lamp, lit". The basic keypad's OP strip turns red
// while transmitting, so it reads "OP lamp, transmitting" then.
std::string LampReading(Lamp lamp, std::uint8_t lamps);
std::string BasicStripReading(Lamp lamp, std::uint8_t lamps);

}  // namespace amppanel
