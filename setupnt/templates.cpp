#include "setupnt/templates.h"

#include "wizard/page_frame.h"

namespace setupnt {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

namespace {

DialogTemplate Page(int id, std::vector<ControlTemplate> controls) {
  DialogTemplate page;
  page.id = id;
  page.caption = kPageCaption;
  page.width = 264;
  page.height = 146;
  page.controls.push_back(wizard::LogoPanelControl());
  for (auto& control : controls) page.controls.push_back(std::move(control));
  return page;
}

constexpr std::uint32_t kReadOnlyRight = platform::kControlReadOnly | platform::kControlRightAligned;

}  // namespace

const char* LoadSetupString(int id) {
  switch (id) {
    case kStrAboutMenu:
      return "&About setup...";
    case kStrUpToDateQuestion:
      return "An up-to-date driver is detected in your system.\nDo you still want to continue?";
    case kStrUpToDateCaption:
      return "Up-to-date driver detected ...";
    default:
      return "";
  }
}

const DialogTemplate& WelcomePageTemplate() {
  static const DialogTemplate page =
      Page(kWelcomePageId, {
                               {-1, ControlKind::kStatic,
                                "Welcome to J6 Orvantis setup program for Windows NT.\nThis program will "
                                "install/remove J6 Orvantis "
                                "drivers for Windows NT.",
                                101, 6, 156, 42},
                               {platform::kIdOk, ControlKind::kDefPushButton, "Next >", 145, 125, 50, 14,
                                platform::kControlTabStop},
                               {platform::kIdCancel, ControlKind::kPushButton, "Cancel", 207, 125, 50, 14,
                                platform::kControlTabStop},
                           });
  return page;
}

const DialogTemplate& ChoicePageTemplate() {
  static const DialogTemplate page = [] {
    DialogTemplate p =
        Page(kChoicePageId,
             {
                 {-1, ControlKind::kStatic, "Please select one of the following options.\n", 101, 6, 156, 42},
                 {-1, ControlKind::kGroupBox, "J6 Orvantis drivers", 103, 52, 154, 66},
                 {kIdInstallRadio, ControlKind::kRadioButton, "Install/Update Windows NT drivers", 115, 66,
                  129, 18, platform::kControlGroupStart | platform::kControlTabStop},
                 {kIdRemoveRadio, ControlKind::kRadioButton, "Remove Windows NT drivers", 115, 92, 118, 16},
                 {platform::kIdOk, ControlKind::kDefPushButton, "OK", 148, 125, 50, 14,
                  platform::kControlGroupStart | platform::kControlTabStop},
                 {platform::kIdCancel, ControlKind::kPushButton, "Cancel", 207, 125, 50, 14,
                  platform::kControlTabStop},
             });
    p.style |= platform::kDialogMinimizeBox;
    return p;
  }();
  return page;
}

const DialogTemplate& FreeSpacePageTemplate() {
  static const DialogTemplate page = Page(
      kFreeSpacePageId,
      {
          {-1, ControlKind::kStatic,
           "You do not have enough space in your hard disk to install J6 Orvantis drivers.  \nPlease free up "
           "some space in the drive that contains your Windows directory.",
           105, 7, 152, 43},
          {-1, ControlKind::kStatic, "Available Space:", 105, 52, 68, 9},
          {kIdAvailableRoot, ControlKind::kEdit, "", 105, 65, 25, 15, kReadOnlyRight},
          {kIdAvailableBytes, ControlKind::kEdit, "", 170, 65, 65, 12, kReadOnlyRight},
          {-1, ControlKind::kStatic, "bytes", 240, 65, 19, 13},
          {-1, ControlKind::kStatic, "Required Space:", 105, 84, 60, 11},
          {kIdRequiredRoot, ControlKind::kEdit, "", 105, 97, 25, 15, platform::kControlReadOnly},
          {kIdRequiredBytes, ControlKind::kEdit, "", 170, 97, 65, 12, kReadOnlyRight},
          {-1, ControlKind::kStatic, "bytes", 240, 97, 19, 13},
          {platform::kIdOk, ControlKind::kDefPushButton, "OK", 207, 125, 50, 14, platform::kControlTabStop},
      });
  return page;
}

const DialogTemplate& FinishPageTemplate() {
  static const DialogTemplate page =
      Page(kFinishPageId, {
                              {-1, ControlKind::kStatic,
                               "Thank you for using J6 Orvantis setup program.\n\nPlease click \"Finish\" "
                               "button to end the program.",
                               105, 7, 152, 51},
                              {platform::kIdOk, ControlKind::kDefPushButton, "Finish", 207, 125, 50, 14,
                               platform::kControlTabStop},
                          });
  return page;
}

const DialogTemplate& RebootPageTemplate() {
  static const DialogTemplate page =
      Page(kRebootPageId,
           {
               {-1, ControlKind::kStatic,
                "Thank you for using J6 Orvantis setup program.\nYou need to reboot the system in order to "
                "make the "
                "changes effective.\n\nPlease click \"Finish\" button to end the program.",
                105, 7, 152, 51},
               {-1, ControlKind::kGroupBox, "Reboot system", 100, 60, 160, 55},
               {kIdRebootYesRadio, ControlKind::kRadioButton, "&Yes, please reboot the system.", 110, 75, 135,
                15, platform::kControlGroupStart | platform::kControlTabStop},
               {kIdRebootNoRadio, ControlKind::kRadioButton, "&No, I will reboot later.", 110, 95, 145, 15},
               {platform::kIdOk, ControlKind::kDefPushButton, "Finish", 207, 125, 50, 14,
                platform::kControlGroupStart | platform::kControlTabStop},
           });
  return page;
}

const DialogTemplate& AboutBoxTemplate() {
  static const DialogTemplate box = [] {
    DialogTemplate b;
    b.id = kAboutBoxId;
    b.caption = "About setup";
    b.width = 217;
    b.height = 55;
    b.controls = {
        {-1, ControlKind::kIcon, std::to_string(kProgramIconId), 11, 17, 20, 20},
        {-1, ControlKind::kStatic, "setup Version 1.0", 40, 10, 119, 8},
        {platform::kIdOk, ControlKind::kDefPushButton, "OK", 178, 7, 32, 14,
         platform::kControlGroupStart | platform::kControlTabStop},
    };
    return b;
  }();
  return box;
}

const DialogTemplate& ProgressWindowTemplate() {
  static const DialogTemplate window = [] {
    DialogTemplate w;
    w.id = kProgressWindowId;
    w.width = 145;
    w.height = 25;
    w.style = platform::kDialogPopup | platform::kDialogFrame | platform::kDialogCentered |
              platform::kDialogForeground;
    w.controls = {
        {kIdProgressStatus, ControlKind::kEdit, "", 1, 0, 144, 12,
         platform::kControlReadOnly | platform::kControlMultiLine},
        {kIdProgressBar, ControlKind::kProgressBar, "", 1, 13, 144, 10},
    };
    return w;
  }();
  return window;
}

}  // namespace setupnt
