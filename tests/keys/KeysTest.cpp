// Key codes, holds, button states and the keyboard maps of the three windows.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "keys/Keys.h"

namespace amppanel {
namespace {

using enum PanelKey;

constexpr HeldKeys kNothing{};
constexpr HeldKeys kDisplayHeld{.display = true};
constexpr HeldKeys kOperateHeld{.operate = true};
constexpr HeldKeys kPowerHeld{.power = true};
constexpr HeldKeys kCatHeld{.cat = true};
constexpr HeldKeys kAllHeld{.display = true, .operate = true, .power = true, .cat = true};

struct CommandCase {
  PanelKey key;
  HeldKeys held;
  int code;  // -1: nothing is sent
  std::optional<HoldKey> release;
};

TEST(KeyCommand, FirstApplicableHoldDecidesAndOnlyDisplayAndOperateAreUsedUp) {
  const CommandCase cases[] = {
      {kInput, kNothing, 1, {}},
      {kInput, kDisplayHeld, 19, HoldKey::kDisplay},
      {kInput, kPowerHeld, 1, {}},
      {kTune, kOperateHeld, 18, HoldKey::kOperate},
      {kTune, kDisplayHeld, 9, {}},
      {kCPlus, kNothing, 8, {}},
      {kCPlus, {.display = true, .power = true}, 21, HoldKey::kDisplay},
      {kCPlus, {.power = true, .cat = true}, 25, {}},
      {kCPlus, kCatHeld, 27, {}},
      {kCMinus, kDisplayHeld, 7, {}},
      {kCMinus, {.power = true, .cat = true}, 24, {}},
      {kCMinus, kCatHeld, 26, {}},
      {kLPlus, kPowerHeld, 29, {}},
      {kLPlus, kCatHeld, 31, {}},
      {kLPlus, kNothing, 6, {}},
      {kLPlus, kDisplayHeld, 6, {}},
      {kLMinus, kPowerHeld, 28, {}},
      {kLMinus, kCatHeld, 30, {}},
      {kLMinus, kOperateHeld, 5, {}},
      {kBandMinus, kAllHeld, 2, {}},
      {kBandPlus, kAllHeld, 3, {}},
      {kPower, kPowerHeld, 11, {}},
      {kDisplay, kDisplayHeld, 12, {}},
      {kOff, kAllHeld, 10, {}},
      {kOn, kAllHeld, -1, {}},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(std::string(ActionName(c.key)) + " -> " + std::to_string(c.code));
    const KeyCommand got = CommandFor(c.key, c.held);
    if (c.code < 0) {
      EXPECT_FALSE(got.code.has_value());
    } else {
      EXPECT_EQ(got.code, std::optional<std::uint8_t>(static_cast<std::uint8_t>(c.code)));
    }
    EXPECT_EQ(got.release, c.release);
  }
}

TEST(KeyCommand, EveryCodeTheKeysSendIsInTheTableAndEveryTableCodeIsSent) {
  std::set<int> sent;
  for (PanelKey key : AllPanelKeys()) {
    for (int bits = 0; bits < 16; ++bits) {
      const HeldKeys held{.display = (bits & 1) != 0,
                          .operate = (bits & 2) != 0,
                          .power = (bits & 4) != 0,
                          .cat = (bits & 8) != 0};
      if (const auto code = CommandFor(key, held).code) sent.insert(*code);
    }
  }
  std::set<int> table;
  for (const KeyCodeEntry& e : KeyCodeTable()) {
    EXPECT_TRUE(table.insert(e.code).second) << "twice: " << int(e.code);
  }
  EXPECT_EQ(sent, table);
  for (int never : {20, 22, 23}) EXPECT_EQ(table.count(never), 0u) << never;
}

TEST(Accelerator, LetterAfterSingleAmpersandInUpperCase) {
  const std::pair<std::string_view, char> cases[] = {
      {"&INPUT", 'I'}, {"T&UNE", 'U'}, {"      &L", 'L'}, {"L      ", 0},  {"&-    ", '-'},
      {"    &+", '+'}, {"o&ff", 'F'},  {"A && B", 0},     {"A &&&B", 'B'}, {"trailing&", 0},
  };
  for (const auto& [caption, letter] : cases) EXPECT_EQ(Accelerator(caption), letter) << caption;
}

// ---- button states ------------------------------------------------------------

ButtonStates FullKeypadButtons() {
  std::array<int, kPanelKeyCount> panel{};
  for (PanelKey k : {kInput, kAnt, kLMinus, kLPlus, kBandMinus, kBandPlus, kCMinus, kCPlus, kTune})
    panel[Index(k)] = 0;
  for (PanelKey k : {kDisplay, kLeftArrow, kRightArrow, kOn, kPower, kCat, kSet, kOff, kOperate})
    panel[Index(k)] = 1;
  return ButtonStates(panel);
}

ButtonStates BasicKeypadButtons() {
  std::array<int, kPanelKeyCount> panel{};
  panel.fill(ButtonStates::kNoButton);
  panel[Index(kOn)] = panel[Index(kOff)] = 0;
  panel[Index(kOperate)] = panel[Index(kPower)] = panel[Index(kInput)] = panel[Index(kAnt)] = 1;
  panel[Index(kTune)] = panel[Index(kDisplay)] = 2;
  return ButtonStates(panel);
}

TEST(ButtonStates, PressIsExclusiveWithinItsPanelOnlyAndAllMayBeUp) {
  ButtonStates b = FullKeypadButtons();
  b.Press(kPower);
  b.Press(kInput);  // other panel
  EXPECT_TRUE(b.Down(kPower));
  EXPECT_TRUE(b.Down(kInput));
  b.Press(kCat);
  EXPECT_FALSE(b.Down(kPower));
  EXPECT_TRUE(b.Grouped(kPower)) << "the exclusive rule leaves the group alone";
  EXPECT_TRUE(b.Down(kCat));
  b.Release(kCat);
  EXPECT_FALSE(b.Down(kCat));
  EXPECT_FALSE(b.Grouped(kCat));
  EXPECT_TRUE(b.Down(kInput));
}

TEST(ButtonStates, ToggleHoldGoesDownAndUpAndStaysGrouped) {
  ButtonStates b = FullKeypadButtons();
  b.ToggleHold(kPower);
  EXPECT_TRUE(b.Held().power);
  b.ToggleHold(kCat);
  EXPECT_FALSE(b.Held().power);
  EXPECT_TRUE(b.Held().cat);
  b.ToggleHold(kCat);
  EXPECT_FALSE(b.Down(kCat));
  EXPECT_TRUE(b.Grouped(kCat));
  EXPECT_FALSE(b.Held().display || b.Held().operate || b.Held().power || b.Held().cat);
}

TEST(ButtonStates, AWindowWithoutTheButtonIgnoresIt) {
  ButtonStates b = BasicKeypadButtons();
  b.Press(kLPlus);
  b.ToggleHold(kCat);
  EXPECT_FALSE(b.Down(kLPlus));
  EXPECT_FALSE(b.Down(kCat));
  EXPECT_FALSE(b.Has(kCat));
  b.Press(kInput);
  b.Press(kOperate);  // same panel as INPUT
  EXPECT_FALSE(b.Down(kInput));
  EXPECT_TRUE(b.Down(kOperate));
}

// ---- keyboard ---------------------------------------------------------------------

struct DownCase {
  std::uint16_t key;
  bool ctrl;
  std::optional<PanelKey> pressed;
  bool executes;
};

TEST(FullKeypadKeys, KeyDownPressesAndCtrlMinusStepsExecute) {
  const DownCase cases[] = {
      {vk::kB, false, kBandPlus, false},
      {vk::kB, true, kBandMinus, true},
      {vk::kC, false, kCPlus, false},
      {vk::kC, true, kCMinus, true},
      {vk::kL, false, kLPlus, false},
      {vk::kL, true, kLMinus, true},
      {vk::kS, true, kSet, false},
      {vk::kU, true, kTune, false},
      {vk::kP, false, kPower, false},
      {vk::kP, true, {}, false},
      {vk::kD, true, {}, false},
      {vk::kA, true, {}, false},
      {vk::kN, false, kOn, false},
      {vk::kAdd, false, kRightArrow, false},
      {vk::kOemPlus, false, kRightArrow, false},
      {vk::kSubtract, false, kLeftArrow, false},
      {vk::kOemMinus, false, kLeftArrow, false},
      {vk::kAdd, true, {}, false},
      {vk::kF, false, {}, false},
      {vk::kK, false, {}, false},
  };
  for (const DownCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.key) + (c.ctrl ? " with Ctrl" : ""));
    ButtonStates b = FullKeypadButtons();
    const auto executed = KeyDown(FullKeypadMap(), b, c.key, c.ctrl);
    int down = 0;
    for (PanelKey k : AllPanelKeys()) down += b.Down(k) ? 1 : 0;
    EXPECT_EQ(down, c.pressed ? 1 : 0);
    if (c.pressed) {
      EXPECT_TRUE(b.Down(*c.pressed));
    }
    EXPECT_EQ(executed.has_value(), c.executes);
    if (c.executes) {
      EXPECT_EQ(executed, c.pressed);
    }
  }
}

TEST(FullKeypadKeys, CtrlLetterReleasedTogglesTheHoldButCtrlLetGoFirstDoesNot) {
  ButtonStates b = FullKeypadButtons();
  KeyDown(FullKeypadMap(), b, vk::kP, true);
  EXPECT_FALSE(b.Down(kPower));
  KeyUp(FullKeypadMap(), b, vk::kP, true);
  EXPECT_TRUE(b.Held().power);

  ButtonStates c = FullKeypadButtons();
  KeyDown(FullKeypadMap(), c, vk::kP, true);
  KeyUp(FullKeypadMap(), c, vk::kP, false);
  EXPECT_FALSE(c.Down(kPower));
  EXPECT_FALSE(c.Held().power);
}

TEST(FullKeypadKeys, HoldsMoveAndEndTheWayTheOperatorExpects) {
  ButtonStates b = FullKeypadButtons();
  // CAT held while POWER is held takes POWER's place.
  KeyUp(FullKeypadMap(), b, vk::kP, true);
  KeyUp(FullKeypadMap(), b, vk::kT, true);
  EXPECT_FALSE(b.Held().power);
  EXPECT_TRUE(b.Held().cat);
  EXPECT_EQ(CommandFor(kLMinus, b.Held()).code, std::optional<std::uint8_t>(30));

  // The plain letter mirrors DISPLAY while down, which ends the CAT hold, and
  // its release leaves nothing held.
  KeyDown(FullKeypadMap(), b, vk::kD, false);
  EXPECT_TRUE(b.Down(kDisplay));
  EXPECT_FALSE(b.Held().cat);
  KeyUp(FullKeypadMap(), b, vk::kD, false);
  EXPECT_FALSE(b.Held().display);

  // A held button ends with the release of its own letter.
  KeyUp(FullKeypadMap(), b, vk::kO, true);
  EXPECT_TRUE(b.Held().operate);
  KeyDown(FullKeypadMap(), b, vk::kO, false);
  KeyUp(FullKeypadMap(), b, vk::kO, false);
  EXPECT_FALSE(b.Held().operate);
}

TEST(FullKeypadKeys, RepeatedCtrlLStaysPressedAndExecutesEachTime) {
  ButtonStates b = FullKeypadButtons();
  b.ToggleHold(kPower);
  int executed = 0;
  for (int i = 0; i < 3; ++i) {
    if (KeyDown(FullKeypadMap(), b, vk::kL, true) == kLMinus) ++executed;
    EXPECT_TRUE(b.Down(kLMinus));
    EXPECT_EQ(CommandFor(kLMinus, b.Held()).code, std::optional<std::uint8_t>(28));
  }
  EXPECT_EQ(executed, 3);
  EXPECT_TRUE(b.Held().power) << "the left panel's press leaves the right panel alone";
  KeyUp(FullKeypadMap(), b, vk::kL, true);
  EXPECT_FALSE(b.Down(kLMinus));
}

TEST(BasicKeypadKeys, MirrorsItsEightButtonsOnlyAndNeverHoldsOrExecutes) {
  ButtonStates b = BasicKeypadButtons();
  for (std::uint16_t key : {vk::kA, vk::kD, vk::kI, vk::kN, vk::kO, vk::kP, vk::kU}) {
    EXPECT_FALSE(KeyDown(BasicKeypadMap(), b, key, false).has_value());
    EXPECT_FALSE(KeyDown(BasicKeypadMap(), b, key, true).has_value());
  }
  EXPECT_TRUE(b.Down(kTune)) << "U presses TUNE with Ctrl too";
  for (std::uint16_t key : {vk::kA, vk::kD, vk::kI, vk::kN, vk::kO, vk::kP, vk::kU}) {
    KeyUp(BasicKeypadMap(), b, key, true);
  }
  for (PanelKey k : AllPanelKeys()) EXPECT_FALSE(b.Down(k)) << ActionName(k);

  KeyUp(BasicKeypadMap(), b, vk::kD, true);
  EXPECT_FALSE(b.Held().display) << "Ctrl+D holds nothing here";
  KeyDown(BasicKeypadMap(), b, vk::kL, false);
  KeyDown(BasicKeypadMap(), b, vk::kB, true);
  for (PanelKey k : AllPanelKeys()) EXPECT_FALSE(b.Down(k)) << ActionName(k);
}

TEST(MainWindowCharacters, CaseDoesNotMatterAndOtherCharactersAreIgnored) {
  const std::pair<char, std::optional<PanelKey>> cases[] = {
      {'i', kInput},      {'I', kInput},     {'b', kBandPlus}, {'l', kLPlus}, {'c', kCPlus},
      {'+', kRightArrow}, {'-', kLeftArrow}, {'n', kOn},       {'t', kCat},   {'u', kTune},
      {'f', {}},          {'F', {}},         {'k', {}},        {'\t', {}},    {'\x02', {}},
      {'=', {}},          {'_', {}},
  };
  for (const auto& [typed, key] : cases) EXPECT_EQ(CharacterKey(typed), key) << int(typed);
}

TEST(Wheel, StepsBandLCAndArrowsFromEitherButtonOfThePair) {
  struct Case {
    std::optional<PanelKey> target;
    std::optional<PanelKey> down;
    std::optional<PanelKey> up;
  };
  const Case cases[] = {
      {kBandMinus, kBandPlus, kBandMinus},
      {kBandPlus, kBandPlus, kBandMinus},
      {kLMinus, kLPlus, kLMinus},
      {kCPlus, kCPlus, kCMinus},
      {kLeftArrow, kRightArrow, kLeftArrow},
      {kRightArrow, kRightArrow, kLeftArrow},
      {kTune, {}, {}},
      {{}, {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WheelStep(c.target, true), c.down);
    EXPECT_EQ(WheelStep(c.target, false), c.up);
  }
}

// ---- lamps --------------------------------------------------------------------------

TEST(Lamps, FullKeypadLightsByBitsAndTransmitNeedsOperateToo) {
  struct Case {
    std::uint8_t lamps;
    std::set<Lamp> lit;
  };
  using enum Lamp;
  const Case cases[] = {
      {0x00, {}},
      {0x18, {kOperate, kTransmit}},
      {0x08, {}},
      {0x10, {kOperate}},
      {0x06, {}},
      {0x21, {kSet, kOn}},
      {0xC0, {kAlarm, kTune}},
      {0xFF, {kAlarm, kTune, kSet, kOn, kOperate, kTransmit}},
  };
  for (const Case& c : cases) {
    for (Lamp lamp : {kAlarm, kTune, kSet, kOn, kOperate, kTransmit}) {
      SCOPED_TRACE(std::to_string(c.lamps) + " lamp " + std::to_string(int(lamp)));
      const bool lit = c.lit.count(lamp) != 0;
      EXPECT_EQ(LampLit(lamp, c.lamps), lit);
      EXPECT_EQ(FullKeypadLamp(lamp, c.lamps).text, lit ? kBlack : kSilver);
    }
  }
  EXPECT_EQ(FullKeypadLamp(kAlarm, 0x80), (LampLook{kRed, kBlack}));
  EXPECT_EQ(FullKeypadLamp(kAlarm, 0), (LampLook{kMaroon, kSilver}));
  EXPECT_EQ(FullKeypadLamp(kTune, 0x40).back, kYellow);
  EXPECT_EQ(FullKeypadLamp(kSet, 0).back, kGreen);
  EXPECT_EQ(FullKeypadLamp(kOn, 1).back, kLime);
  EXPECT_EQ(FullKeypadLamp(kTransmit, 0x18).back, kRed);
  EXPECT_EQ(FullKeypadLamp(kOperate, 0).back, kOlive);
}

TEST(Lamps, BasicKeypadStripsShowTransmitAsARedOperateStrip) {
  const std::pair<std::uint8_t, BasicStrips> cases[] = {
      {0x00, {kGreen, kOlive, kOlive, kMaroon}}, {0x10, {kGreen, kYellow, kOlive, kMaroon}},
      {0x18, {kGreen, kRed, kOlive, kMaroon}},   {0x08, {kGreen, kOlive, kOlive, kMaroon}},
      {0x80, {kGreen, kOlive, kOlive, kRed}},    {0x26, {kGreen, kOlive, kOlive, kMaroon}},
      {0xFF, {kLime, kRed, kYellow, kRed}},
  };
  for (const auto& [lamps, strips] : cases) EXPECT_EQ(BasicKeypadStrips(lamps), strips) << +lamps;
}

TEST(Lamps, ReadingsSayWhatTheLampsShow) {
  EXPECT_EQ(LampReading(Lamp::kTransmit, 0x18), "TX lamp, lit");
  EXPECT_EQ(LampReading(Lamp::kTransmit, 0x08), "TX lamp, unlit");
  EXPECT_EQ(LampReading(Lamp::kAlarm, 0x80), "Alarm lamp, lit");
  EXPECT_EQ(BasicStripReading(Lamp::kOperate, 0x10), "OP lamp, lit");
  EXPECT_EQ(BasicStripReading(Lamp::kOperate, 0x18), "OP lamp, transmitting");
  EXPECT_EQ(BasicStripReading(Lamp::kOn, 0x00), "On lamp, unlit");
  // Every byte: a full-keypad lamp reads lit exactly when it shows lit.
  for (int b = 0; b < 256; ++b) {
    const auto lamps = static_cast<std::uint8_t>(b);
    for (int l = 0; l < static_cast<int>(kLampCount); ++l) {
      const auto lamp = static_cast<Lamp>(l);
      const bool shownLit = FullKeypadLamp(lamp, lamps).text == kBlack;
      EXPECT_EQ(LampReading(lamp, lamps).ends_with(", lit"), shownLit) << b << " " << l;
    }
  }
}

TEST(Keys, SpokenNamesSayWhichWayTheArrowsStep) {
  EXPECT_EQ(SpokenKeyName(PanelKey::kBandMinus), "Band down");
  EXPECT_EQ(SpokenKeyName(PanelKey::kLPlus), "L up");
  EXPECT_EQ(SpokenKeyName(PanelKey::kCMinus), "C down");
  EXPECT_EQ(SpokenKeyName(PanelKey::kLeftArrow), "Left arrow");
  EXPECT_EQ(SpokenKeyName(PanelKey::kOn), "On");
  // Each key's name is its own.
  std::set<std::string_view> names;
  for (PanelKey key : AllPanelKeys()) names.insert(SpokenKeyName(key));
  EXPECT_EQ(names.size(), kPanelKeyCount);
}

}  // namespace
}  // namespace amppanel
