// The dialogs and texts of the setup program: one source for the simulated and the Windows user interface.
#pragma once

#include "platform/ui.h"

namespace setupnt {

// Dialog numbers.
enum : int {
  kAboutBoxId = 100,
  kChoicePageId = 102,
  kWelcomePageId = 131,
  kRebootPageId = 132,
  kFreeSpacePageId = 133,
  kFinishPageId = 135,
  kProgressWindowId = 136,
};

// Control numbers.
enum : int {
  kIdInstallRadio = 1001,
  kIdRemoveRadio = 1002,
  kIdRebootYesRadio = 1015,
  kIdRebootNoRadio = 1002,
  kIdProgressStatus = 1003,
  kIdProgressBar = 1004,
  kIdAvailableBytes = 1018,
  kIdRequiredBytes = 1019,
  kIdAvailableRoot = 1020,
  kIdRequiredRoot = 1021,
  kIdLogo = 1028,
};

// The system menu entry that opens the AboutBox.
constexpr int kIdmAbout = 16;
constexpr int kProgramIconId = 128;

// String table.
enum : int {
  kStrAboutMenu = 101,
  kStrUpToDateQuestion = 102,
  kStrUpToDateCaption = 103,
};
const char* LoadSetupString(int id);

inline constexpr const char* kPageCaption = "Orvantis Setup Program for Windows NT";

const platform::DialogTemplate& WelcomePageTemplate();
const platform::DialogTemplate& ChoicePageTemplate();
const platform::DialogTemplate& FreeSpacePageTemplate();
const platform::DialogTemplate& FinishPageTemplate();
const platform::DialogTemplate& RebootPageTemplate();
const platform::DialogTemplate& AboutBoxTemplate();
const platform::DialogTemplate& ProgressWindowTemplate();

}  // namespace setupnt
