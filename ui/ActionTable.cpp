#include "ui/ActionTable.h"

#include <array>

namespace amppanel {
namespace {

constexpr ActionSpec kOpen{"actOpen", "&Connect", "Ctrl+Q", "", "FileGroup"};
constexpr ActionSpec kClose{"actClose", "&Disconnect", "Ctrl+S", "", "FileGroup"};
constexpr ActionSpec kLoadUpdate{"actLoadUpdate", "&Firmware update", "Ctrl+U", "", "FileGroup"};
constexpr ActionSpec kExit{"actExit", "&Exit", "", "", "FileGroup"};

constexpr std::array<ActionSpec, 5> kSerialFile{
    kOpen, kClose,
    ActionSpec{"actConfigureConnection", "&Virtual Com Port setting...", "Ctrl+Z", "", "FileGroup"},
    kLoadUpdate, kExit};
constexpr std::array<ActionSpec, 5> kUsbFile{
    kOpen, kClose,
    ActionSpec{"actConfigureConnection", "&Configure USB connection...", "Ctrl+Z", "", "FileGroup"},
    kLoadUpdate, kExit};

// Presets are checked one at a time; the default-size actions have no menu entry.
constexpr std::array<ActionSpec, 12> kView{
    ActionSpec{"actHome", "&Home display && keypad", "Ctrl+H", "", "ViewGroup"},
    ActionSpec{"actPark", "&Park keypad near display", "Ctrl+N", "", "ViewGroup"},
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
    ActionSpec{"actInput", "&INPUT", "", "Alt+I", "LeftGroup"},
    ActionSpec{"actAnt", "&ANT", "", "Alt+A", "LeftGroup"},
    ActionSpec{"actLMinus", "L      ", "", "Ctrl+L", "LeftGroup"},
    ActionSpec{"actLPlus", "      &L", "", "Alt+L", "LeftGroup"},
    ActionSpec{"actBandMinus", "BAND", "", "Ctrl+B", "LeftGroup"},
    ActionSpec{"actBandPlus", "&BAND", "", "Alt+B", "LeftGroup"},
    ActionSpec{"actCMinus", "C      ", "", "Ctrl+C", "LeftGroup"},
    ActionSpec{"actCPlus", "      &C", "", "Alt+C", "LeftGroup"},
    ActionSpec{"actTune", "T&UNE", "", "Alt+U", "LeftGroup"},
    ActionSpec{"actSet", "&SET", "", "Alt+S", "RightGroup"},
    ActionSpec{"actLeftArrow", "&-    ", "", "Alt+-", "RightGroup"},
    ActionSpec{"actRightArrow", "    &+", "", "Alt++", "RightGroup"},
    ActionSpec{"actDisplay", "&DISPLAY", "", "Alt+D", "RightGroup"},
    ActionSpec{"actPower", "&POWER", "", "Alt+P", "RightGroup"},
    ActionSpec{"actOperate", "&OPERATE", "", "Alt+O", "RightGroup"},
    ActionSpec{"actCAT", "CA&T", "", "Alt+T", "RightGroup"},
    ActionSpec{"actOff", "O&FF", "", "Alt+F", "RightGroup"},
    ActionSpec{"actOn", "O&N", "", "Alt+N", "RightGroup"},
    ActionSpec{"actKeypad", "&Full keypad On/Off", "Ctrl+K", "", "ViewGroup", true},
    ActionSpec{"actJKeypad", "&Basic keypad On/Off", "Ctrl+J", "", "ViewGroup", true},
    // No command of its own: it brings the shown keypad to the front, as K does.
    ActionSpec{"actRecallKeypad", "", "Ctrl+Alt+K", "", "ViewGroup"}};

}  // namespace

std::span<const ActionSpec> ViewActions() { return kView; }

std::span<const ActionSpec> FileActions(const BuildProfile& profile) {
  return profile.link == LinkKind::kSerial ? std::span<const ActionSpec>(kSerialFile)
                                           : std::span<const ActionSpec>(kUsbFile);
}

std::span<const ActionSpec> KeyActions(const BuildProfile& /*profile*/) { return kKeys; }

}  // namespace amppanel
