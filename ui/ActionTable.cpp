#include "ui/ActionTable.h"

#include <array>

#include "keys/Keys.h"
#include "ui/ActionNames.h"

namespace amppanel {
namespace {

constexpr ActionSpec kOpen{act::kOpen, "&Connect", "Ctrl+Q", "", "FileGroup"};
constexpr ActionSpec kClose{act::kClose, "&Disconnect", "Ctrl+S", "", "FileGroup"};
constexpr ActionSpec kLoadUpdate{act::kLoadUpdate, "&Firmware update", "Ctrl+U", "", "FileGroup"};
constexpr ActionSpec kExit{act::kExit, "&Exit", "", "", "FileGroup"};

constexpr std::array<ActionSpec, 5> kSerialFile{
    kOpen, kClose,
    ActionSpec{act::kConfigureConnection, "&Virtual Com Port setting...", "Ctrl+Z", "",
               "FileGroup"},
    kLoadUpdate, kExit};
constexpr std::array<ActionSpec, 5> kUsbFile{
    kOpen, kClose,
    ActionSpec{act::kConfigureConnection, "&Configure USB connection...", "Ctrl+Z", "",
               "FileGroup"},
    kLoadUpdate, kExit};

// Presets are checked one at a time; the default-size actions have no menu entry.
constexpr std::array<ActionSpec, 12> kView{
    ActionSpec{act::kHome, "&Home display && keypad", "Ctrl+H", "", "ViewGroup"},
    ActionSpec{act::kPark, "&Park keypad near display", "Ctrl+N", "", "ViewGroup"},
    ActionSpec{"actPreset1", "Display Preset &1", "F1", "", "ViewGroup", true},
    ActionSpec{"actPreset2", "Display Preset &2", "F2", "", "ViewGroup", true},
    ActionSpec{"actPreset3", "Display Preset &3", "F3", "", "ViewGroup", true},
    ActionSpec{"actPreset4", "Display Preset &4", "F4", "", "ViewGroup", true},
    ActionSpec{"actPreset5", "Display Preset &5", "F5", "", "ViewGroup", true},
    ActionSpec{"actDefPreset1", "", "Ctrl+F1", "", "ViewGroup"},
    ActionSpec{"actDefPreset2", "", "Ctrl+F2", "", "ViewGroup"},
    ActionSpec{"actDefPreset3", "", "Ctrl+F3", "", "ViewGroup"},
    ActionSpec{"actDefPreset4", "", "Ctrl+F4", "", "ViewGroup"},
    ActionSpec{"actDefPreset5", "", "Ctrl+F5", "", "ViewGroup"}};

// Captions and hints are shown on the keypad buttons exactly, spaces included:
// the spaces keep the caption clear of the arrow image. The hint names the key
// that works the button.
constexpr std::array<ActionSpec, 21> kKeys{
    ActionSpec{ActionName(PanelKey::kInput), "&INPUT", "", "Alt+I", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kAnt), "&ANT", "", "Alt+A", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kLMinus), "L      ", "", "Ctrl+L", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kLPlus), "      &L", "", "Alt+L", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kBandMinus), "BAND", "", "Ctrl+B", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kBandPlus), "&BAND", "", "Alt+B", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kCMinus), "C      ", "", "Ctrl+C", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kCPlus), "      &C", "", "Alt+C", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kTune), "T&UNE", "", "Alt+U", "LeftGroup"},
    ActionSpec{ActionName(PanelKey::kSet), "&SET", "", "Alt+S", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kLeftArrow), "&-    ", "", "Alt+-", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kRightArrow), "    &+", "", "Alt++", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kDisplay), "&DISPLAY", "", "Alt+D", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kPower), "&POWER", "", "Alt+P", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kOperate), "&OPERATE", "", "Alt+O", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kCat), "CA&T", "", "Alt+T", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kOff), "O&FF", "", "Alt+F", "RightGroup"},
    ActionSpec{ActionName(PanelKey::kOn), "O&N", "", "Alt+N", "RightGroup"},
    ActionSpec{act::kKeypad, "&Full keypad On/Off", "Ctrl+K", "", "ViewGroup", true},
    ActionSpec{act::kJKeypad, "&Basic keypad On/Off", "Ctrl+J", "", "ViewGroup", true},
    // No command of its own: it brings the shown keypad to the front, as K does.
    ActionSpec{act::kRecallKeypad, "", "Ctrl+Alt+K", "", "ViewGroup"}};

}  // namespace

std::span<const ActionSpec> ViewActions() { return kView; }

std::span<const ActionSpec> FileActions(const BuildProfile& profile) {
  return profile.link == LinkKind::kSerial ? std::span<const ActionSpec>(kSerialFile)
                                           : std::span<const ActionSpec>(kUsbFile);
}

std::span<const ActionSpec> KeyActions(const BuildProfile& /*profile*/) { return kKeys; }

}  // namespace amppanel
