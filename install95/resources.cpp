#include "install95/resources.h"

#include <map>

namespace install95 {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

const char kCaption[] = "J6 Orvantis Installer";
const char kSelect[] = "Please select from the following options.  \nThen click on \"OK\" to continue.";

DialogTemplate Page(int id, const std::string& caption) {
  DialogTemplate t;
  t.id = id;
  t.caption = caption;
  t.width = 264;
  t.height = 146;
  t.style = platform::kDialogCaption | platform::kDialogSystemMenu | platform::kDialogCentered;
  t.controls.push_back(wizard::LogoPanelControl());
  return t;
}

ControlTemplate Text(const std::string& text, int y, int height) {
  return {-1, ControlKind::kStatic, text, 105, y, 150, height, 0};
}

ControlTemplate Button(int id, const std::string& text, int x, bool isDefault) {
  return {id,   isDefault ? ControlKind::kDefPushButton : ControlKind::kPushButton,
          text, x,
          125,  50,
          14,   platform::kControlTabStop};
}

struct Box {
  int id;
  const char* caption;
  const char* hiddenCaption;  // the caption on pages where it is hidden, never seen
  std::vector<int> visibleOn;
};

const Box kBoxes[] = {
    {kInstallWindowsBox, "Install/Update Windows drivers", "Install/Update Windows drivers", {102, 146, 148}},
    {kRemoveWindowsBox, "Remove Windows drivers", "Remove Windows drivers", {102, 145, 151}},
    {kInstallDosBox, "Install DOS utilities", "Install DOS legacy driver", {102, 146, 148}},
    {kRemoveDosBox, "Remove DOS utilities", "Remove DOS legacy driver", {102, 145, 146, 147, 151}},
};

DialogTemplate ChoicePage(int id, const std::string& text) {
  DialogTemplate t = Page(id, kCaption);
  t.controls.push_back(Text(text, 10, 50));
  t.controls.push_back({kOptionsGroup, ControlKind::kGroupBox, "J6 Orvantis drivers", 100, 62, 157, 58, 0});
  int y = 74;
  for (const Box& box : kBoxes) {
    bool visible = false;
    for (int page : box.visibleOn) visible = visible || page == id;
    t.controls.push_back({box.id, ControlKind::kCheckBox, visible ? box.caption : box.hiddenCaption, 108, y,
                          140, 10, platform::kControlTabStop | (visible ? 0u : platform::kControlHidden)});
    y += 11;
  }
  t.controls.push_back(Button(platform::kIdOk, "OK", 150, true));
  t.controls.push_back(Button(platform::kIdCancel, "Cancel", 207, false));
  return t;
}

DialogTemplate FinishPage(int id, const std::string& text, bool rebootOffered) {
  DialogTemplate t = Page(id, kCaption);
  t.controls.push_back(Text(text, 10, 60));
  std::uint32_t hidden = rebootOffered ? 0u : static_cast<std::uint32_t>(platform::kControlHidden);
  if (rebootOffered) t.controls.push_back({-1, ControlKind::kGroupBox, "Reboot system", 100, 75, 157, 40, 0});
  t.controls.push_back({kRebootYes, ControlKind::kRadioButton, "&Yes, please reboot the system.", 108, 87,
                        140, 10, platform::kControlGroupStart | platform::kControlTabStop | hidden});
  t.controls.push_back(
      {kRebootNo, ControlKind::kRadioButton, "&No, I will reboot later.", 108, 99, 140, 10, hidden});
  ControlTemplate finish = Button(platform::kIdOk, "Finish", 207, true);
  finish.style |= platform::kControlGroupStart;
  t.controls.push_back(finish);
  return t;
}

std::vector<DialogTemplate> Build() {
  std::vector<DialogTemplate> all;

  DialogTemplate welcome = Page(kWelcomePage, "Welcome");
  welcome.controls.push_back(Text("Welcome to J6 Orvantis drivers installation program.", 10, 20));
  welcome.controls.push_back(
      Text("This program will install Windows 95 driver and DOS driver for J6 Orvantis sound card.", 35, 30));
  welcome.controls.push_back(Text("Please click on \"Next -->\" to continue.", 70, 20));
  welcome.controls.push_back(Button(platform::kIdOk, "Next -->", 150, true));
  welcome.controls.push_back(Button(platform::kIdCancel, "Cancel", 207, false));
  all.push_back(welcome);

  all.push_back(ChoicePage(kChoicePageAll, kSelect));
  all.push_back(ChoicePage(
      kChoicePageNoCard,
      std::string("According to the system settings, you don't have any J6 Audio hardware.\n\n") + kSelect));
  all.push_back(ChoicePage(kChoicePageCardDos, kSelect));
  all.push_back(
      ChoicePage(kChoicePageDosOnly,
                 "According to the system settings, there is no Orvantis hardware and Windows drivers.\n\n"
                 "Please select the following option.  \nThen click on \"OK\" to continue."));
  all.push_back(ChoicePage(kChoicePageCardOnly, kSelect));
  all.push_back(
      ChoicePage(kChoicePageOldDriver,
                 std::string("According to the system settings, you have an old driver installed in your "
                             "system.  You need to remove it before installing the new drivers.\n\n") +
                     kSelect));

  DialogTemplate noCard = Page(kNoCardPage, kCaption);
  noCard.controls.push_back(
      Text("There is no J6 Orvantis sound card or software on this system.\n\nPlease power "
           "down the system, plug in the Orvantis sound card and reboot the system. ",
           10, 80));
  noCard.controls.push_back(Button(platform::kIdOk, "Finish", 207, true));
  all.push_back(noCard);

  all.push_back(
      FinishPage(kFinishPageReboot,
                 "Thank you for using J6 Orvantis Installer.\nYou need to reboot the system in order to "
                 "make the changes effective.\n\nPlease click \"Finish\" button to end the program.",
                 true));
  all.push_back(
      FinishPage(kFinishPageNoReboot,
                 "Thank you for using J6 Orvantis Installer.\n\n\nPlease click \"Finish\" button to end "
                 "the program.",
                 false));

  DialogTemplate disk = Page(kDiskSpacePage, kCaption);
  disk.controls.push_back(
      Text("You do not have enough space in your hard disk to install J6 Orvantis drivers.  "
           "\nPlease free up some space in the drive that contains your Windows directory.",
           10, 50));
  std::uint32_t field = platform::kControlReadOnly;
  disk.controls.push_back({-1, ControlKind::kStatic, "Available Space:", 90, 70, 55, 10, 0});
  disk.controls.push_back({kAvailableRootField, ControlKind::kEdit, "", 147, 69, 20, 12, field});
  disk.controls.push_back({kAvailableBytesField, ControlKind::kEdit, "", 169, 69, 60, 12,
                           field | platform::kControlRightAligned});
  disk.controls.push_back({-1, ControlKind::kStatic, "bytes", 232, 70, 25, 10, 0});
  disk.controls.push_back({-1, ControlKind::kStatic, "Required Space:", 90, 88, 55, 10, 0});
  disk.controls.push_back({kRequiredRootField, ControlKind::kEdit, "", 147, 87, 20, 12, field});
  disk.controls.push_back(
      {kRequiredBytesField, ControlKind::kEdit, "", 169, 87, 60, 12, field | platform::kControlRightAligned});
  disk.controls.push_back({-1, ControlKind::kStatic, "bytes", 232, 88, 25, 10, 0});
  disk.controls.push_back(Button(platform::kIdOk, "OK", 207, true));
  all.push_back(disk);

  DialogTemplate progress;
  progress.id = kProgressDialog;
  progress.width = 149;
  progress.height = 25;
  progress.style = platform::kDialogPopup | platform::kDialogFrame | platform::kDialogCentered |
                   platform::kDialogForeground;
  progress.controls.push_back({kProgressStatus, ControlKind::kEdit, "", 2, 0, 145, 12,
                               platform::kControlReadOnly | platform::kControlNoBorder});
  progress.controls.push_back({kProgressBar, ControlKind::kProgressBar, "", 2, 15, 145, 10, 0});
  all.push_back(progress);
  return all;
}

const std::map<int, std::string>& Strings() {
  static const std::map<int, std::string> strings = {
      {kNewerDriverText, "A newer driver is detected in your system.\nDo you still want to continue?"},
      {kNewerDriverCaption, "Newer driver detected..."},
      {kDlsQuestionText, "Do you wish to configure your system for Downloadable Sounds at this time?"},
      {kDlsQuestionCaption, "DLS Setup"},
      {kDlsUnavailableText,
       "MIDI Wavetable synthesis will not be available until\nyou use the J6 Applet available now in Control "
       "Panel\nto set the General MIDI/DLS Bank Sizes."},
      {kDlsUnavailableCaption, "MIDI Wavetable Synthesis Unavailable"},
  };
  return strings;
}

}  // namespace

const std::vector<platform::DialogTemplate>& AllDialogs() {
  static const std::vector<DialogTemplate> all = Build();
  return all;
}

const platform::DialogTemplate& Dialog(int id) {
  static const DialogTemplate none;
  for (const auto& d : AllDialogs())
    if (d.id == id) return d;
  return none;
}

const std::string& String(int id) {
  static const std::string none;
  auto it = Strings().find(id);
  return it == Strings().end() ? none : it->second;
}

}  // namespace install95
