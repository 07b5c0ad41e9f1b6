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

}  // namespace

std::span<const ActionSpec> FileActions(const BuildProfile& profile) {
  return profile.link == LinkKind::kSerial ? std::span<const ActionSpec>(kSerialFile)
                                           : std::span<const ActionSpec>(kUsbFile);
}

}  // namespace amppanel
