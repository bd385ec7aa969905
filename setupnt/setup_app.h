// The setup program: its pages, their order, the free-space check and the restart request.
#pragma once

#include <cstdint>
#include <string>

#include "setupnt/setup_state.h"

namespace setupnt {

class SetupApp {
 public:
  SetupApp(platform::Os& os, std::string commandLine);

  // Runs the whole program; returns its exit code.
  int Run();

  // True when the installation fits; fills both counters.
  bool HasEnoughSpace();
  // Asks the system to restart and returns without waiting.
  void RequestReboot();

  void InstallSequence();
  void RemoveSequence();

  std::uint32_t RequiredBytes = 0;
  std::uint64_t AvailableBytes = 0;
  SetupState& State() { return state_; }

 private:
  enum class PageKind { kNone, kWelcome, kChoice, kFreeSpace, kFinish, kReboot };

  PageKind ShowWelcomePage();
  PageKind ShowChoicePage();
  PageKind ShowFreeSpacePage();
  PageKind ShowFinishPage();
  PageKind ShowRebootPage();
  void ShowAboutBox(platform::WindowHandle owner);
  // What OK on the ChoicePage does; returns the page that follows.
  PageKind OnChoiceOk(platform::Dialog& page);
  bool InstallSwitchGiven() const;

  platform::Os& os_;
  std::string commandLine_;
  SetupState state_;
  platform::BitmapHandle logo_ = platform::kNoBitmap;
  int rebootChoice_ = 0;
  PageKind currentPage_ = PageKind::kNone;
};

// The program's start: runs SetupApp with the process's command line and returns the exit code.
int SetupMain(platform::Os& os, const char* commandLine);

}  // namespace setupnt
