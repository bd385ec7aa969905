// The survey of the machine before any option is offered: installed driver and its version, DOS
// utilities, the card on the PCI bus or as an ISA card, the chipset.
#pragma once

#include <cstdint>

#include "install95/installer_app.h"

namespace install95 {

struct SurveyResult {
  int driverInstalled = 0;
  int cardPresent = 0;
  int dosUtilitiesInstalled = 0;
  int isaCard = 0;
  int chipsetFlag = 0;
};

// Fills `result` (may be null) and the app's process-wide flags; returns the page to show.
int RunSurvey(InstallerApp& app, SurveyResult* result = nullptr);

// The page for the survey facts (without the old-driver case, which ends the survey early).
int ChoosePage(int driverInstalled, int cardPresent, int dosUtilitiesInstalled);

// The detection library's entry.
std::int32_t Detect(platform::Os& os, std::int32_t what);

// The installed virtual device's ProductVersion into `buffer` (260 characters); 1 when read, else 0.
int ReadInstalledVxdVersion(platform::Os& os, char* buffer);
// 0 when the installed virtual device is newer than the one in the current directory, else 1.
int CompareVxdVersions(platform::Os& os);
// Character by character without regard to letter case: <0, 0, >0.
int CompareVersionText(const char* a, const char* b);

std::uint16_t PciBiosPresent(platform::Os& os);
int PciFindDevice(platform::Os& os, std::uint16_t vendor, std::uint16_t device, std::uint16_t index);
int ProbeIsaCard(platform::Os& os);

}  // namespace install95
