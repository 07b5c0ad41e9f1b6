#include "core/BuildProfile.h"

namespace amppanel {

using std::chrono::milliseconds;

const BuildProfile& SerialProfile() {
  static const BuildProfile profile{
      .link = LinkKind::kSerial,
      .programName = "AmpPanel_232",
      .caption = "AmpPanel_232 - Rel. 170503_A",
      .registryKey = "Software\\Norvik\\AmpPanel_232",
      .settingsOrganisation = "Norvik",
      .settingsApplication = "AmpPanel_232",
      .waitCaption = "AmpPanel_232: Connection in progress...",
      .mutexName = "OneInstancePanelX6Allowed",
      .bringToFrontMessage = "OnlyOnePanelX6",
      .autoOpenMessage = "AutoOpenConnection_232",
      .autoConfigMessage = "AutoConfigConnection_232",
      .linkText1 = "CAN'T OPEN SERIAL LINK...",
      .linkText4 = "FATAL ERROR ON SERIAL LINK...",
      .syncBytes = 3,
      .connectLocation = 1071,
      .pollRaisesLinkErrors = false,
      .pollReadsRepeatedly = false,
      .pollLocations = {},
      .fallbackPresetItem = 3,
      .onLineBackground = {255, 255, 241},
      .connectKeyWait = milliseconds(0),
  };
  return profile;
}

const BuildProfile& UsbProfile() {
  static const BuildProfile profile{
      .link = LinkKind::kUsb,
      .programName = "AmpPanel_USB",
      .caption = "AmpPanel_USB - Rel. 170503_A",
      .registryKey = "Software\\Norvik\\AmpPanel_USB",
      .settingsOrganisation = "Norvik",
      .settingsApplication = "AmpPanel_USB",
      .waitCaption = "AmpPanel_USB: Connection in progress...",
      .mutexName = "OneInstance_PanelX6_USB_Allowed",
      .bringToFrontMessage = "OnlyOne_PanelX6_USB",
      .autoOpenMessage = "AutoOpenConnection_USB",
      .autoConfigMessage = "",
      .linkText1 = "CAN'T OPEN USB LINK...",
      .linkText4 = "FATAL ERROR ON USB LINK...",
      .syncBytes = 5,
      .connectLocation = 1027,
      .pollRaisesLinkErrors = true,
      .pollReadsRepeatedly = true,
      .pollLocations =
          {
              .purge = 1264,
              .writeQuery = 1265,
              .readSync = 1280,
              .readLength = 1294,
              .readComplement = 1302,
              .readType = 1316,
              .readStatus = 1327,
              .readCheck = 1361,
          },
      .fallbackPresetItem = 1,
      .onLineBackground = {157, 255, 255},
      .connectKeyWait = milliseconds(1100),
  };
  return profile;
}

}  // namespace amppanel
