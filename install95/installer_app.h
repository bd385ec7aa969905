// What lives for a whole run of the installer: the machine it reaches, its command line, the logo, the
// page that owns message boxes, and the two survey flags the later actions read.
#pragma once

#include <string>

#include "platform/os.h"

namespace install95 {

struct InstallerApp {
  explicit InstallerApp(platform::Os& machine, std::string line = "")
      : os(machine), commandLine(std::move(line)) {}

  platform::Os& os;
  std::string commandLine;
  platform::BitmapHandle logo = platform::kNoBitmap;
  platform::WindowHandle currentPage = 0;
  int isaCard = 0;      // the card answered the ISA probe
  int chipsetFlag = 0;  // one of the chipsets without the DOS virtual-machine set-up
};

// Install mode: "/I" anywhere in the whole command line, case-sensitive.
inline bool InstallMode(const std::string& commandLine) {
  return commandLine.find("/I") != std::string::npos;
}

// The program: start, pages, actions. Returns the exit code; 1 when the detection library is missing
// (the program cannot start without it).
int InstallerMain(platform::Os& os, const char* commandLine);

}  // namespace install95
