#pragma once

#include <array>
#include <string>

namespace telvano::app {

// The left column of the main menu, fixed: the four sub-menus and the exit.
inline constexpr std::array<const char*, 5> kMenuLevelCaptions = {"0. Kraj rada", "1. Sertifikati", "2. Izveštaji",
                                                                  "3. Test", "4. Util"};
inline constexpr const char* kNoWorkingCertificateText = "Ne postoji aktivan sertifikat!";

// Everything the main window shows of the menu at one moment.
struct MenuScreen {
  int level = 0;                            // 0: the home screen, 1 to 4: a sub-menu
  std::array<std::string, 5> itemCaptions;  // Panel5 to Panel9
  bool itemsVisible = false;                // Panel5 to Panel9
  bool homeVisible = true;                  // PanelText with the working certificate
  // The home screen's values.
  std::string environment;
  std::string tin;
  std::string certSerial;
  std::string certNotAfter;
  std::string certEndWarning;  // shown in red when the certificate ends within the warning days
  std::string unit;
};

// The captions of Panel5 to Panel9 at a level; an item without action is its digit, a point and a blank.
std::array<std::string, 5> MenuItemCaptions(int level);

}  // namespace telvano::app
