// The DOS utilities and the DOS start-up files. (Land with the next piece of work; until then the calls
// sit in place and change nothing.)
#pragma once

#include "install95/installer_app.h"

namespace install95 {

enum class StartupEdit { kInstall, kRemove };

void DeleteDosUtilities(InstallerApp& app);
void CopyDosUtilities(InstallerApp& app);
void EditDosStartupFiles(InstallerApp& app, StartupEdit edit);

}  // namespace install95
