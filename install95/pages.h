// The installer's pages: welcome, the option page in its six forms, the closing pages, and the order
// of the actions the option page's OK carries out.
#pragma once

#include <cstdint>

#include "install95/installer_app.h"

namespace install95 {

class ChoicePage {
 public:
  ChoicePage(InstallerApp& app, int templateId);

  // Shows the page modally; returns when it closes.
  void Show();
  // A click on one of the four option boxes, with the box's new state: the field follows it, and
  // ticking "install" clears "remove" of the same pair (and the reverse).
  void OnOptionClicked(int controlId, int checked);
  // The OK action.
  void ApplyChoices(platform::Dialog& dialog);

  int templateId;
  std::int32_t requiredBytes = 0;
  std::int32_t availableBytes = 0;
  int installWindows = 0;
  int removeWindows = 0;
  int installDos = 0;
  int removeDos = 0;

 private:
  std::intptr_t Proc(platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam);
  void Refresh(platform::Dialog& dialog);
  InstallerApp& app_;
};

class FinishPage {
 public:
  FinishPage(InstallerApp& app, int templateId) : templateId(templateId), app_(app) {}
  void Show();

  int rebootChoice = 0;  // 0 = restart, 1 = later
  int templateId;

 private:
  InstallerApp& app_;
};

void ShowWelcomePage(InstallerApp& app);
void ShowNoCardPage(InstallerApp& app);
// The page the survey chose: a choice page or the no-card page.
void ShowSurveyPage(InstallerApp& app, int page);

// The six multimedia device classes and drivers the removal looks for, in order.
struct MediaResource {
  const char* classKey;
  const char* driver;
};
extern const MediaResource kMediaResources[6];

}  // namespace install95
