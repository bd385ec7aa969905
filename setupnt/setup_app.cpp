#include "setupnt/setup_app.h"

#include <cstring>
#include <string>

#include "setupnt/file_list.h"
#include "setupnt/install.h"
#include "setupnt/remove.h"
#include "setupnt/templates.h"
#include "wizard/page_frame.h"

namespace setupnt {

namespace {

constexpr std::intptr_t kNext = 100;

// A page whose only way on is its one button or closing it.
std::intptr_t ShowSimplePage(platform::Os& os, platform::BitmapHandle logo,
                             const platform::DialogTemplate& page,
                             const std::function<void(platform::Dialog&)>& init = nullptr) {
  return os.ui->ShowModal(
      page, 0,
      [&](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
          std::intptr_t) -> std::intptr_t {
        switch (message) {
          case platform::kWmDrawItem:
            return wizard::DrawLogoPanel(dialog, message, wParam, logo);
          case platform::kWmInitDialog:
            if (init) init(dialog);
            return 1;
          case platform::kWmCommand:
            if (platform::CommandId(wParam) == platform::kIdOk ||
                platform::CommandId(wParam) == platform::kIdCancel) {
              dialog.End(platform::CommandId(wParam));
              return 1;
            }
            return 0;
          case platform::kWmClose:
            dialog.End(platform::kIdCancel);
            return 1;
          default:
            return 0;
        }
      },
      0);
}

}  // namespace

SetupApp::SetupApp(platform::Os& os, std::string commandLine)
    : os_(os), commandLine_(std::move(commandLine)), state_(os) {}

bool SetupApp::InstallSwitchGiven() const {
  return commandLine_.find("/I") != std::string::npos;
}

int SetupApp::Run() {
  if (!os_.ui) return 1;
  logo_ = wizard::PreparePages(os_);
  PageKind page = InstallSwitchGiven() ? PageKind::kChoice : PageKind::kWelcome;
  // Each page closes before the next one is shown; the program ends when no page follows.
  while (page != PageKind::kNone) {
    currentPage_ = page;
    switch (page) {
      case PageKind::kWelcome:
        page = ShowWelcomePage();
        break;
      case PageKind::kChoice:
        page = ShowChoicePage();
        break;
      case PageKind::kFreeSpace:
        page = ShowFreeSpacePage();
        break;
      case PageKind::kFinish:
        page = ShowFinishPage();
        break;
      case PageKind::kReboot:
        page = ShowRebootPage();
        break;
      case PageKind::kNone:
        break;
    }
  }
  currentPage_ = PageKind::kNone;
  return 0;
}

SetupApp::PageKind SetupApp::ShowWelcomePage() {
  return ShowSimplePage(os_, logo_, WelcomePageTemplate()) == platform::kIdOk ? PageKind::kChoice
                                                                              : PageKind::kNone;
}

SetupApp::PageKind SetupApp::ShowChoicePage() {
  PageKind next = PageKind::kNone;
  os_.ui->ShowModal(
      ChoicePageTemplate(), 0,
      [&](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
          std::intptr_t) -> std::intptr_t {
        switch (message) {
          case platform::kWmDrawItem:
            return wizard::DrawLogoPanel(dialog, message, wParam, logo_);
          case platform::kWmInitDialog:
            state_.choicePage = dialog.Handle();
            dialog.AppendSystemMenuItem(kIdmAbout, LoadSetupString(kStrAboutMenu));
            dialog.SetIcon(kProgramIconId);
            dialog.CheckRadioButton(kIdInstallRadio, kIdRemoveRadio,
                                    state_.installChoice == kChoiceRemove ? kIdRemoveRadio : kIdInstallRadio);
            return 1;
          case platform::kWmSysCommand:
            if ((wParam & 0xFFF0) == kIdmAbout) {
              ShowAboutBox(dialog.Handle());
              return 1;
            }
            return 0;
          case platform::kWmCommand:
            if (platform::CommandId(wParam) == platform::kIdOk) {
              next = OnChoiceOk(dialog);
              dialog.End(kNext);
              return 1;
            }
            if (platform::CommandId(wParam) == platform::kIdCancel) {
              dialog.End(platform::kIdCancel);
              return 1;
            }
            return 0;
          case platform::kWmClose:
            dialog.End(platform::kIdCancel);
            return 1;
          default:
            return 0;
        }
      },
      0);
  state_.choicePage = 0;
  return next;
}

SetupApp::PageKind SetupApp::OnChoiceOk(platform::Dialog& page) {
  state_.installChoice = page.IsButtonChecked(kIdRemoveRadio) ? kChoiceRemove : kChoiceInstall;
  if (state_.installChoice == kChoiceRemove) {
    RemoveSequence();
  } else {
    if (!HasEnoughSpace()) return PageKind::kFreeSpace;
    if (!IsUpdateNeeded(state_)) {
      int answer = os_.ui->MessageBox(page.Handle(), LoadSetupString(kStrUpToDateQuestion),
                                      LoadSetupString(kStrUpToDateCaption),
                                      platform::kMbYesNo | platform::kMbIconQuestion);
      if (answer != platform::kIdYes) return PageKind::kFinish;
    }
    InstallSequence();
  }
  if (InstallSwitchGiven()) {
    wizard::WriteRunOnceMarker(os_);
    return PageKind::kNone;
  }
  return PageKind::kReboot;
}

SetupApp::PageKind SetupApp::ShowFreeSpacePage() {
  std::string windows = WindowsDirectory(os_);
  auto firstSlash = windows.find('\\');
  std::string root = firstSlash == std::string::npos ? windows : windows.substr(0, firstSlash + 1);
  ShowSimplePage(os_, logo_, FreeSpacePageTemplate(), [&](platform::Dialog& dialog) {
    dialog.SetText(kIdAvailableBytes, std::to_string(AvailableBytes));
    dialog.SetText(kIdRequiredBytes, std::to_string(RequiredBytes));
    dialog.SetText(kIdAvailableRoot, root);
    dialog.SetText(kIdRequiredRoot, root);
  });
  return PageKind::kNone;
}

SetupApp::PageKind SetupApp::ShowFinishPage() {
  ShowSimplePage(os_, logo_, FinishPageTemplate());
  return PageKind::kNone;
}

SetupApp::PageKind SetupApp::ShowRebootPage() {
  rebootChoice_ = 0;
  bool finished = false;
  os_.ui->ShowModal(
      RebootPageTemplate(), 0,
      [&](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
          std::intptr_t) -> std::intptr_t {
        switch (message) {
          case platform::kWmDrawItem:
            return wizard::DrawLogoPanel(dialog, message, wParam, logo_);
          case platform::kWmInitDialog:
            dialog.CheckButton(kIdRebootYesRadio, rebootChoice_ == 0);
            dialog.CheckButton(kIdRebootNoRadio, rebootChoice_ != 0);
            return 1;
          case platform::kWmCommand:
            if (platform::CommandId(wParam) == platform::kIdOk) {
              rebootChoice_ = dialog.IsButtonChecked(kIdRebootYesRadio) ? 0 : 1;
              finished = true;
              dialog.End(platform::kIdOk);
              return 1;
            }
            if (platform::CommandId(wParam) == platform::kIdCancel) {
              dialog.End(platform::kIdCancel);
              return 1;
            }
            return 0;
          case platform::kWmClose:
            dialog.End(platform::kIdCancel);
            return 1;
          default:
            return 0;
        }
      },
      0);
  if (finished && rebootChoice_ == 0) RequestReboot();
  return PageKind::kNone;
}

void SetupApp::ShowAboutBox(platform::WindowHandle owner) {
  os_.ui->ShowModal(
      AboutBoxTemplate(), owner,
      [](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
         std::intptr_t) -> std::intptr_t {
        if (message == platform::kWmInitDialog) return 1;
        if ((message == platform::kWmCommand && (platform::CommandId(wParam) == platform::kIdOk ||
                                                 platform::CommandId(wParam) == platform::kIdCancel)) ||
            message == platform::kWmClose) {
          dialog.End(platform::kIdOk);
          return 1;
        }
        return 0;
      },
      0);
}

bool SetupApp::HasEnoughSpace() {
  RequiredBytes = 0;
  AvailableBytes = 0;
  auto* files = os_.files;

  platform::FindData data;
  platform::FindHandle find = files->FindFirstFile((CurrentDirectory(os_) + "\\*.*").c_str(), &data);
  if (find == platform::kInvalidFindHandle) return true;
  do {
    if (!(data.attributes & platform::kFileAttributeDirectory))
      RequiredBytes += static_cast<std::uint32_t>(data.size);
  } while (files->FindNextFile(find, &data));
  files->FindClose(find);

  std::string root = WindowsDirectory(os_).substr(0, 3);
  std::uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (files->GetDiskFreeSpace(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                              &totalClusters))
    AvailableBytes = std::uint64_t{freeClusters} * sectorsPerCluster * bytesPerSector;
  else
    AvailableBytes = RequiredBytes;

  // Banks of an earlier installation are overwritten by the copy, so their space counts as free.
  find = files->FindFirstFile((SystemDirectory(os_) + "\\j6gm*.bin").c_str(), &data);
  if (find != platform::kInvalidFindHandle) {
    do AvailableBytes += data.size;
    while (files->FindNextFile(find, &data));
    files->FindClose(find);
  }
  return RequiredBytes <= AvailableBytes;
}

void SetupApp::RequestReboot() {
  if (!os_.processes) return;
  os_.processes->EnableShutdownPrivilege();
  os_.processes->ExitWindows(platform::kEwxReboot);
}

void SetupApp::InstallSequence() {
  RemoveDriverEntries(state_);
  LoadFileList(state_);
  RemoveDriverFiles(state_);
  CopyDriverFiles(state_);
  RegisterDrivers(state_);
}

void SetupApp::RemoveSequence() {
  RemoveDriverEntries(state_);
  LoadFileList(state_);
  RemoveDriverFiles(state_);
}

int SetupMain(platform::Os& os, const char* commandLine) {
  SetupApp app(os, commandLine ? commandLine : "");
  return app.Run();
}

}  // namespace setupnt
