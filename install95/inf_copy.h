// Copy of the driver files that the disk's J6AUDIO.INF lists, with replacement at the next start of
// Windows (wininit.ini [Rename]) for files in use, and the Downloadable Sounds question that follows.
#pragma once

#include "install95/installer_app.h"

namespace install95 {

class ChoicePage;

// Copies every file of J6AUDIO.INF's [SourceDisksFiles] from the current directory: INF files into the
// Windows INF folder, the others into its system folder. A copy that fails is deferred to the next start.
// The progress bar moves in proportion to the page's required bytes. 1 when J6AUDIO.INF was found, else 0.
int CopyInfFiles(InstallerApp& app, ChoicePage& page);

enum class RenameCopy { kUseSource, kCopyFirst };

// Adds "target=source" to the [Rename] section of wininit.ini in the Windows directory; the target
// "NUL" deletes the source at the next start. With kCopyFirst the source is first copied to a
// temporary file in the Windows directory, which the entry then names. Returns 1.
int ScheduleRename(InstallerApp& app, const char* source, const char* target, RenameCopy copy);

// Asks whether to set up Downloadable Sounds now; Yes runs the wavetable applet.
void AskDlsQuestion(InstallerApp& app);

}  // namespace install95
