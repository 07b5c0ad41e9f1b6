#include "app/ActionTable.h"

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

}  // namespace

std::span<const ActionSpec> ViewActions() { return kView; }

std::span<const ActionSpec> FileActions(const BuildProfile& profile) {
  return profile.link == LinkKind::kSerial ? std::span<const ActionSpec>(kSerialFile)
                                           : std::span<const ActionSpec>(kUsbFile);
}

}  // namespace amppanel
