#include "keys/Keys.h"

#include <algorithm>

namespace amppanel {
namespace {

using enum PanelKey;

constexpr std::array<PanelKey, kPanelKeyCount> kAllKeys{
    kInput, kAnt,       kLMinus,     kLPlus,   kBandMinus, kBandPlus, kCMinus, kCPlus, kTune,
    kSet,   kLeftArrow, kRightArrow, kDisplay, kPower,     kOperate,  kCat,    kOff,   kOn};
static_assert([] {
  for (std::size_t i = 0; i < kPanelKeyCount; ++i) {
    if (Index(kAllKeys[i]) != i) return false;
  }
  return true;
}());

constexpr std::array<KeyCodeEntry, 28> kCodes{{
    {1, "INPUT"},
    {2, "BAND down"},
    {3, "BAND up"},
    {4, "ANT"},
    {5, "L down"},
    {6, "L up"},
    {7, "C down"},
    {8, "C up"},
    {9, "TUNE"},
    {10, "OFF"},
    {11, "POWER"},
    {12, "DISPLAY"},
    {13, "OPERATE"},
    {14, "CAT"},
    {15, "left arrow"},
    {16, "right arrow"},
    {17, "SET"},
    {18, "TUNE with OPERATE held"},
    {19, "INPUT with DISPLAY held"},
    {21, "C up with DISPLAY held"},
    {24, "C down with POWER held"},
    {25, "C up with POWER held"},
    {26, "C down with CAT held"},
    {27, "C up with CAT held"},
    {28, "L down with POWER held"},
    {29, "L up with POWER held"},
    {30, "L down with CAT held"},
    {31, "L up with CAT held"},
}};

// The plain code of every key but ON.
constexpr std::uint8_t PlainCode(PanelKey key) {
  switch (key) {
    case kInput:
      return 1;
    case kBandMinus:
      return 2;
    case kBandPlus:
      return 3;
    case kAnt:
      return 4;
    case kLMinus:
      return 5;
    case kLPlus:
      return 6;
    case kCMinus:
      return 7;
    case kCPlus:
      return 8;
    case kTune:
      return 9;
    case kOff:
      return kOffKeyCode;
    case kPower:
      return 11;
    case kDisplay:
      return 12;
    case kOperate:
      return 13;
    case kCat:
      return 14;
    case kLeftArrow:
      return 15;
    case kRightArrow:
      return 16;
    case kSet:
      return 17;
    case kOn:
      break;
  }
  return 0;
}

constexpr ButtonStep None{};
constexpr ButtonStep Press(PanelKey k) { return {ButtonOp::kPress, k}; }
constexpr ButtonStep PressRun(PanelKey k) { return {ButtonOp::kPressAndExecute, k}; }
constexpr ButtonStep Release(PanelKey k) { return {ButtonOp::kRelease, k}; }
constexpr ButtonStep Toggle(PanelKey k) { return {ButtonOp::kToggleHold, k}; }
constexpr KeyRule Both(std::uint16_t key, ButtonStep step) { return {key, step, step}; }

// The minus keys of BAND, L and C have no letter of their own: Ctrl with the
// letter steps down and executes at once, so that keyboard repeat steps on.
constexpr std::array<KeyRule, 16> kFullDown{{
    {vk::kA, Press(kAnt), None},
    {vk::kB, Press(kBandPlus), PressRun(kBandMinus)},
    {vk::kC, Press(kCPlus), PressRun(kCMinus)},
    {vk::kD, Press(kDisplay), None},
    {vk::kI, Press(kInput), None},
    {vk::kL, Press(kLPlus), PressRun(kLMinus)},
    {vk::kN, Press(kOn), None},
    {vk::kO, Press(kOperate), None},
    {vk::kP, Press(kPower), None},
    {vk::kS, Press(kSet), Press(kSet)},
    {vk::kT, Press(kCat), None},
    {vk::kU, Press(kTune), Press(kTune)},
    {vk::kAdd, Press(kRightArrow), None},
    {vk::kOemPlus, Press(kRightArrow), None},
    {vk::kSubtract, Press(kLeftArrow), None},
    {vk::kOemMinus, Press(kLeftArrow), None},
}};

// Ctrl with the letter of a holdable button toggles its hold on release.
constexpr std::array<KeyRule, 16> kFullUp{{
    Both(vk::kA, Release(kAnt)),
    {vk::kB, Release(kBandPlus), Release(kBandMinus)},
    {vk::kC, Release(kCPlus), Release(kCMinus)},
    {vk::kD, Release(kDisplay), Toggle(kDisplay)},
    Both(vk::kI, Release(kInput)),
    {vk::kL, Release(kLPlus), Release(kLMinus)},
    Both(vk::kN, Release(kOn)),
    {vk::kO, Release(kOperate), Toggle(kOperate)},
    {vk::kP, Release(kPower), Toggle(kPower)},
    Both(vk::kS, Release(kSet)),
    {vk::kT, Release(kCat), Toggle(kCat)},
    Both(vk::kU, Release(kTune)),
    Both(vk::kAdd, Release(kRightArrow)),
    Both(vk::kOemPlus, Release(kRightArrow)),
    Both(vk::kSubtract, Release(kLeftArrow)),
    Both(vk::kOemMinus, Release(kLeftArrow)),
}};

constexpr std::array<KeyRule, 7> kBasicDown{{
    {vk::kA, Press(kAnt), None},
    {vk::kD, Press(kDisplay), None},
    {vk::kI, Press(kInput), None},
    {vk::kN, Press(kOn), None},
    {vk::kO, Press(kOperate), None},
    {vk::kP, Press(kPower), None},
    {vk::kU, Press(kTune), Press(kTune)},
}};

constexpr std::array<KeyRule, 7> kBasicUp{{
    Both(vk::kA, Release(kAnt)),
    Both(vk::kD, Release(kDisplay)),
    Both(vk::kI, Release(kInput)),
    Both(vk::kN, Release(kOn)),
    Both(vk::kO, Release(kOperate)),
    Both(vk::kP, Release(kPower)),
    Both(vk::kU, Release(kTune)),
}};

constexpr KeyMap kFullMap{kFullDown, kFullUp};
constexpr KeyMap kBasicMap{kBasicDown, kBasicUp};

struct CharacterRule {
  char typed;
  PanelKey key;
};
constexpr std::array<CharacterRule, 14> kCharacters{{
    {'+', kRightArrow},
    {'-', kLeftArrow},
    {'A', kAnt},
    {'B', kBandPlus},
    {'C', kCPlus},
    {'D', kDisplay},
    {'I', kInput},
    {'L', kLPlus},
    {'N', kOn},
    {'O', kOperate},
    {'P', kPower},
    {'S', kSet},
    {'T', kCat},
    {'U', kTune},
}};

// Rotating towards the user steps up in frequency and value: the wheel moves
// the way the amplifier's own knob does.
struct WheelRule {
  PanelKey minus;
  PanelKey plus;
};
constexpr std::array<WheelRule, 4> kWheel{{
    {kBandMinus, kBandPlus},
    {kLMinus, kLPlus},
    {kCMinus, kCPlus},
    {kLeftArrow, kRightArrow},
}};

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::span<const PanelKey> AllPanelKeys() { return kAllKeys; }

std::span<const KeyCodeEntry> KeyCodeTable() { return kCodes; }

PanelKey ButtonOf(HoldKey hold) {
  switch (hold) {
    case HoldKey::kDisplay:
      return kDisplay;
    case HoldKey::kOperate:
      return kOperate;
    case HoldKey::kPower:
      return kPower;
    case HoldKey::kCat:
      return kCat;
  }
  return kDisplay;
}

KeyCommand CommandFor(PanelKey key, const HeldKeys& held) {
  // The first hold that applies decides; DISPLAY and OPERATE are used up by
  // the combination, POWER and CAT stay for further L and C steps.
  switch (key) {
    case kInput:
      if (held.display) return {19, HoldKey::kDisplay};
      return {1, {}};
    case kTune:
      if (held.operate) return {18, HoldKey::kOperate};
      return {9, {}};
    case kCPlus:
      if (held.display) return {21, HoldKey::kDisplay};
      if (held.power) return {25, {}};
      if (held.cat) return {27, {}};
      return {8, {}};
    case kCMinus:
      if (held.power) return {24, {}};
      if (held.cat) return {26, {}};
      return {7, {}};
    case kLPlus:
      if (held.power) return {29, {}};
      if (held.cat) return {31, {}};
      return {6, {}};
    case kLMinus:
      if (held.power) return {28, {}};
      if (held.cat) return {30, {}};
      return {5, {}};
    case kOn:
      return {};
    default:
      return {PlainCode(key), {}};
  }
}

// ---- ButtonStates ----------------------------------------------------------------

ButtonStates::ButtonStates(const std::array<int, kPanelKeyCount>& panelOf) : panel_(panelOf) {}

void ButtonStates::SetDown(PanelKey key, bool down) {
  const std::size_t i = Index(key);
  // A button outside group 1 cannot stay down.
  if (down && !grouped_[i]) return;
  down_[i] = down;
  if (!down) return;
  for (std::size_t j = 0; j < kPanelKeyCount; ++j) {
    if (j != i && panel_[j] == panel_[i] && grouped_[j]) down_[j] = false;
  }
}

void ButtonStates::Press(PanelKey key) {
  if (!Has(key)) return;
  grouped_[Index(key)] = true;
  SetDown(key, true);
}

void ButtonStates::Release(PanelKey key) {
  if (!Has(key)) return;
  grouped_[Index(key)] = false;
  SetDown(key, false);
}

void ButtonStates::ToggleHold(PanelKey key) {
  if (!Has(key)) return;
  grouped_[Index(key)] = true;
  SetDown(key, !Down(key));
}

HeldKeys ButtonStates::Held() const {
  return {.display = Down(kDisplay),
          .operate = Down(kOperate),
          .power = Down(kPower),
          .cat = Down(kCat)};
}

// ---- keyboard maps -----------------------------------------------------------------

const KeyMap& FullKeypadMap() { return kFullMap; }
const KeyMap& BasicKeypadMap() { return kBasicMap; }

ButtonStep FindStep(std::span<const KeyRule> rules, std::uint16_t vk, bool ctrl) {
  const auto it =
      std::find_if(rules.begin(), rules.end(), [vk](const KeyRule& r) { return r.vk == vk; });
  if (it == rules.end()) return {};
  return ctrl ? it->ctrl : it->plain;
}

std::optional<PanelKey> KeyDown(const KeyMap& map, ButtonStates& buttons, std::uint16_t vk,
                                bool ctrl) {
  const ButtonStep step = FindStep(map.down, vk, ctrl);
  switch (step.op) {
    case ButtonOp::kPress:
      buttons.Press(step.button);
      return std::nullopt;
    case ButtonOp::kPressAndExecute:
      buttons.Press(step.button);
      return step.button;
    default:
      return std::nullopt;
  }
}

void KeyUp(const KeyMap& map, ButtonStates& buttons, std::uint16_t vk, bool ctrl) {
  const ButtonStep step = FindStep(map.up, vk, ctrl);
  switch (step.op) {
    case ButtonOp::kRelease:
      buttons.Release(step.button);
      break;
    case ButtonOp::kToggleHold:
      buttons.ToggleHold(step.button);
      break;
    default:
      break;
  }
}

std::optional<PanelKey> CharacterKey(char typed) {
  const char c = Upper(typed);
  for (const CharacterRule& rule : kCharacters) {
    if (rule.typed == c) return rule.key;
  }
  return std::nullopt;
}

char Accelerator(std::string_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return Upper(caption[i + 1]);
    ++i;  // "&&" shows one ampersand
  }
  return 0;
}

std::optional<PanelKey> WheelStep(std::optional<PanelKey> target, bool towardsUser) {
  if (!target) return std::nullopt;
  for (const WheelRule& rule : kWheel) {
    if (*target == rule.minus || *target == rule.plus) return towardsUser ? rule.plus : rule.minus;
  }
  return std::nullopt;
}

// ---- lamps ---------------------------------------------------------------------------

bool LampLit(Lamp lamp, std::uint8_t lamps) {
  switch (lamp) {
    case Lamp::kAlarm:
      return (lamps & 0x80) != 0;
    case Lamp::kTune:
      return (lamps & 0x40) != 0;
    case Lamp::kSet:
      return (lamps & 0x20) != 0;
    case Lamp::kOperate:
      return (lamps & 0x10) != 0;
    case Lamp::kTransmit:
      return (lamps & 0x18) == 0x18;
    case Lamp::kOn:
      return (lamps & 0x01) != 0;
  }
  return false;
}

LampLook FullKeypadLamp(Lamp lamp, std::uint8_t lamps) {
  Rgb unlit = kMaroon;
  Rgb lit = kRed;
  switch (lamp) {
    case Lamp::kAlarm:
    case Lamp::kTransmit:
      break;
    case Lamp::kTune:
    case Lamp::kOperate:
      unlit = kOlive;
      lit = kYellow;
      break;
    case Lamp::kSet:
    case Lamp::kOn:
      unlit = kGreen;
      lit = kLime;
      break;
  }
  return LampLit(lamp, lamps) ? LampLook{lit, kBlack} : LampLook{unlit, kSilver};
}

BasicStrips BasicKeypadStrips(std::uint8_t lamps) {
  BasicStrips s{};
  s.alarm = (lamps & 0x80) != 0 ? kRed : kMaroon;
  s.tune = (lamps & 0x40) != 0 ? kYellow : kOlive;
  s.op = (lamps & 0x10) != 0 ? kYellow : kOlive;
  if ((lamps & 0x18) == 0x18) s.op = kRed;
  s.on = (lamps & 0x01) != 0 ? kLime : kGreen;
  return s;
}

namespace {

constexpr std::array<std::string_view, kPanelKeyCount> kSpokenKeyNames{
    "Input",   "Antenna", "L down",  "L up", "Band down",  "Band up",
    "C down",  "C up",    "Tune",    "Set",  "Left arrow", "Right arrow",
    "Display", "Power",   "Operate", "CAT",  "Off",        "On"};

constexpr std::array<std::string_view, kLampCount> kLampNames{"Alarm", "Tune", "Set",
                                                              "On",    "OP",   "TX"};

std::string Reading(Lamp lamp, std::string_view state) {
  return std::string(kLampNames[static_cast<std::size_t>(lamp)]) + " lamp, " + std::string(state);
}

}  // namespace

std::string_view SpokenKeyName(PanelKey key) { return kSpokenKeyNames[Index(key)]; }

std::string LampReading(Lamp lamp, std::uint8_t lamps) {
  return Reading(lamp, LampLit(lamp, lamps) ? "lit" : "unlit");
}

std::string BasicStripReading(Lamp lamp, std::uint8_t lamps) {
  if (lamp == Lamp::kOperate && LampLit(Lamp::kTransmit, lamps)) {
    return Reading(lamp, "transmitting");
  }
  return LampReading(lamp, lamps);
}

}  // namespace amppanel
