#include "install95/dos_utilities.h"

namespace install95 {

// Not built yet: the DOS utilities and start-up file editing come with the next piece of work.
void DeleteDosUtilities(InstallerApp&) {}
void CopyDosUtilities(InstallerApp&) {}
void EditDosStartupFiles(InstallerApp&, StartupEdit) {}

}  // namespace install95
