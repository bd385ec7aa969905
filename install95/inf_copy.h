// Copying the files J6AUDIO.INF lists, with renames deferred to the next start for files in use.
// (Lands with the next piece of work; until then the call sits in place and copies nothing.)
#pragma once

#include "install95/installer_app.h"

namespace install95 {

class ChoicePage;

// 1 when J6AUDIO.INF was found in the current directory, else 0.
int CopyInfFiles(InstallerApp& app, ChoicePage& page);
// Asks whether to set up Downloadable Sounds now; Yes runs the wavetable applet.
void AskDlsQuestion(InstallerApp& app);

}  // namespace install95
