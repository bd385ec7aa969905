#include "install95/pages.h"

#include "install95/dos_utilities.h"
#include "install95/driver_removal.h"
#include "install95/inf_copy.h"
#include "install95/resources.h"
#include "install95/survey.h"
#include "wizard/page_frame.h"
#include "wizard/progress_window.h"

namespace install95 {

const MediaResource kMediaResources[6] = {
    {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\aux", "j6wave.drv"},
    {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\midi", "j6fm.drv"},
    {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\midi", "j6midi.drv"},
    {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\mixer", "j6wave.drv"},
    {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\wave", "j6wave.drv"},
    {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\joystick", "msjstick.drv"},
};

namespace {

enum class Mode { kNone, kRemove, kInstall };

// The removal of the multimedia entries, stepping the bar after each but the last.
void RemoveAllMediaResources(InstallerApp& app, wizard::ProgressWindow& progress) {
  for (int i = 0; i < 6; ++i) {
    RemoveMediaResources(app, kMediaResources[i].classKey, kMediaResources[i].driver);
    if (i < 5) progress.stepBy(0);
  }
}

// A page that only closes.
void ShowClosingPage(InstallerApp& app, int id) {
  platform::DialogProc proc = [&app](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t) -> std::intptr_t {
    if (message == platform::kWmInitDialog) {
      app.currentPage = dialog.Handle();
      return 1;
    }
    if (message == platform::kWmCommand) {
      int id = platform::CommandId(wParam);
      if (id == platform::kIdOk || id == platform::kIdCancel) dialog.End(id);
      return 1;
    }
    return wizard::DrawLogoPanel(dialog, message, wParam, app.logo);
  };
  app.os.ui->ShowModal(Dialog(id), 0, proc, 0);
}

}  // namespace

ChoicePage::ChoicePage(InstallerApp& app, int id) : templateId(id), app_(app) {
  installWindows = id == 102 || id == 146 || id == 148 ? 1 : 0;
}

void ChoicePage::Show() {
  platform::DialogProc proc = [this](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t) { return Proc(dialog, message, wParam); };
  app_.os.ui->ShowModal(Dialog(templateId), 0, proc, 0);
}

std::intptr_t ChoicePage::Proc(platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam) {
  switch (message) {
    case platform::kWmInitDialog:
      app_.currentPage = dialog.Handle();
      Refresh(dialog);
      return 1;
    case platform::kWmCommand: {
      int id = platform::CommandId(wParam);
      switch (id) {
        case kInstallWindowsBox:
        case kRemoveWindowsBox:
        case kInstallDosBox:
        case kRemoveDosBox:
          OnOptionClicked(id, dialog.IsButtonChecked(id) ? 1 : 0);
          Refresh(dialog);
          return 1;
        case platform::kIdOk:
          ApplyChoices(dialog);
          return 1;
        case platform::kIdCancel:
          dialog.End(platform::kIdCancel);
          return 1;
        default:
          return 0;
      }
    }
    default:
      return wizard::DrawLogoPanel(dialog, message, wParam, app_.logo);
  }
}

void ChoicePage::OnOptionClicked(int controlId, int checked) {
  switch (controlId) {
    case kInstallWindowsBox:
      installWindows = checked;
      if (checked) removeWindows = 0;
      break;
    case kRemoveWindowsBox:
      removeWindows = checked;
      if (checked) installWindows = 0;
      break;
    case kInstallDosBox:
      installDos = checked;
      if (checked) removeDos = 0;
      break;
    case kRemoveDosBox:
      removeDos = checked;
      if (checked) installDos = 0;
      break;
    default:
      break;
  }
}

void ChoicePage::Refresh(platform::Dialog& dialog) {
  dialog.CheckButton(kInstallWindowsBox, installWindows != 0);
  dialog.CheckButton(kRemoveWindowsBox, removeWindows != 0);
  dialog.CheckButton(kInstallDosBox, installDos != 0);
  dialog.CheckButton(kRemoveDosBox, removeDos != 0);
}

void ChoicePage::ApplyChoices(platform::Dialog& dialog) {
  platform::Os& os = app_.os;
  const platform::DialogTemplate& progressDialog = Dialog(kProgressDialog);
  Mode mode = Mode::kNone;

  if (removeWindows) {
    mode = Mode::kRemove;
    wizard::ProgressWindow progress(os.ui, progressDialog, dialog.Handle(),
                                    "Examining hardware, please wait...", 0, 0, 100, 10);
    progress.show();
    progress.advanceTo(30);
    Detect(os, 1);
    RemoveAllMediaResources(app_, progress);
    progress.finish();
    RemoveOldDrivers(app_, *this);
  } else if (installWindows) {
    mode = Mode::kInstall;
    wizard::ProgressWindow progress(os.ui, progressDialog, dialog.Handle(),
                                    "Examining configuration, please wait...", 0, 0, 100, 10);
    progress.show();
    progress.advanceTo(60);
    std::string root;
    if (!wizard::CheckDiskSpace(os, &requiredBytes, &availableBytes, &root)) {
      progress.finish();
      dialog.End(platform::kIdOk);
      wizard::DiskSpacePage(os, Dialog(kDiskSpacePage), kDiskSpaceFields, app_.logo, availableBytes,
                            requiredBytes, root);
      return;
    }
    if (CompareVxdVersions(os) == 0) {
      int answer = os.ui->MessageBox(dialog.Handle(), String(kNewerDriverText), String(kNewerDriverCaption),
                                     platform::kMbYesNo | platform::kMbIconQuestion);
      if (answer == platform::kIdNo) {
        progress.finish();
        dialog.End(platform::kIdOk);
        FinishPage(app_, kFinishPageNoReboot).Show();
        return;
      }
    }
    Detect(os, 1);
    RemoveAllMediaResources(app_, progress);
    progress.finish();
    RemoveOldDrivers(app_, *this);
  }

  if (installDos) {
    DeleteDosUtilities(app_);
    CopyDosUtilities(app_);
    EditDosStartupFiles(app_, StartupEdit::kInstall);
  } else if (removeDos) {
    DeleteDosUtilities(app_);
    EditDosStartupFiles(app_, StartupEdit::kRemove);
  }

  if (mode == Mode::kInstall) {
    CopyInfFiles(app_, *this);
    if (Detect(os, 2) == 17) {
      dialog.End(platform::kIdOk);
      ShowNoCardPage(app_);
      return;
    }
    wizard::EnableTrayVolume(os);
  }

  if (installWindows && !app_.isaCard) AskDlsQuestion(app_);

  if (InstallMode(app_.commandLine)) {
    wizard::WriteRunOnceMarker(os);
    dialog.End(platform::kIdOk);
    return;
  }
  dialog.End(platform::kIdOk);
  FinishPage(app_, kFinishPageReboot).Show();
}

void FinishPage::Show() {
  platform::DialogProc proc = [this](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t) -> std::intptr_t {
    switch (message) {
      case platform::kWmInitDialog:
        app_.currentPage = dialog.Handle();
        dialog.CheckRadioButton(kRebootYes, kRebootNo, rebootChoice == 0 ? kRebootYes : kRebootNo);
        return 1;
      case platform::kWmCommand:
        if (platform::CommandId(wParam) == platform::kIdOk) {
          if (dialog.IsButtonChecked(kRebootYes))
            rebootChoice = 0;
          else if (dialog.IsButtonChecked(kRebootNo))
            rebootChoice = 1;
          if (rebootChoice == 0 && templateId == kFinishPageReboot) wizard::RequestRestart(app_.os);
          dialog.End(platform::kIdOk);
          return 1;
        }
        if (platform::CommandId(wParam) == platform::kIdCancel) {
          dialog.End(platform::kIdCancel);
          return 1;
        }
        return 0;
      default:
        return wizard::DrawLogoPanel(dialog, message, wParam, app_.logo);
    }
  };
  app_.os.ui->ShowModal(Dialog(templateId), 0, proc, 0);
}

void ShowNoCardPage(InstallerApp& app) {
  ShowClosingPage(app, kNoCardPage);
}

void ShowSurveyPage(InstallerApp& app, int page) {
  if (page == kNoCardPage) {
    ShowNoCardPage(app);
    return;
  }
  ChoicePage(app, page).Show();
}

void ShowWelcomePage(InstallerApp& app) {
  platform::DialogProc proc = [&app](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t) -> std::intptr_t {
    switch (message) {
      case platform::kWmInitDialog:
        app.currentPage = dialog.Handle();
        return 1;
      case platform::kWmCommand:
        if (platform::CommandId(wParam) == platform::kIdOk) {
          int page = RunSurvey(app);
          dialog.End(platform::kIdOk);
          ShowSurveyPage(app, page);
          return 1;
        }
        if (platform::CommandId(wParam) == platform::kIdCancel) {
          dialog.End(platform::kIdCancel);
          return 1;
        }
        return 0;
      default:
        return wizard::DrawLogoPanel(dialog, message, wParam, app.logo);
    }
  };
  app.os.ui->ShowModal(Dialog(kWelcomePage), 0, proc, 0);
}

}  // namespace install95
