// Taking an installed driver set of the card off the machine: its multimedia registry entries, its
// keys, INF copies and files. (The removal itself lands with the next piece of work; until then these
// calls sit in place and change nothing.)
#pragma once

#include "install95/installer_app.h"

namespace install95 {

class ChoicePage;

// Deletes the subkeys of `classKey` (under HKEY_LOCAL_MACHINE) that belong to `driver` and the card.
int RemoveMediaResources(InstallerApp& app, const char* classKey, const char* driver);
void RemoveOldDrivers(InstallerApp& app, ChoicePage& page);

}  // namespace install95
