// The DOS utilities of the card (legacy driver, its initialisation file, mixer, DOS virtual-machine
// utility): copied into or deleted from the Windows directory, and loaded from the DOS start-up files.
// Each reads the survey's chipset flag from the run.
#pragma once

#include "install95/installer_app.h"

namespace install95 {

enum class StartupEdit { kInstall, kRemove };

// Deletes the four utilities from the Windows directory; missing files and failures are ignored.
void DeleteDosUtilities(InstallerApp& app);

// Copies the utilities from the current directory into the Windows directory, asking for any that is
// missing with the file-open dialog; J6DOSVM.EXE only when the chipset flag is 0. Message boxes belong
// to the current page.
void CopyDosUtilities(InstallerApp& app);

// Rewrites AUTOEXEC.BAT and AUTOEXEC.DOS (and, for an installation, CONFIG.SYS and CONFIG.DOS) in the
// root of drive C. A start-up file is only ever replaced whole: when any step fails it stays as it was.
void EditDosStartupFiles(InstallerApp& app, StartupEdit edit);

// Puts one HIMEM.SYS, one EMM386.EXE (when the chipset flag is 0) and one DOS= line at the head of the
// CONFIG file `path` and comments out the old ones. `useDosFolder` 1 looks for the drivers of an earlier
// DOS with LocateDosDirectory. Returns 1.
int EditConfigFile(InstallerApp& app, const char* path, int useDosFolder);

// Finds the folder of drive C that holds `name`: C:\DOS, the root, or another top folder that is not
// part of the Windows directory. `folder` (260 characters) always ends up holding a folder, the Windows
// directory when nothing was found. Returns 1 when found.
int LocateDosDirectory(InstallerApp& app, char* folder, const char* name);

}  // namespace install95
