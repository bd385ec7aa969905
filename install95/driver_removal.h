// Removal of an installed driver set of the card: its multimedia registry entries, its own keys, the
// INF files Windows keeps for it, and the driver files its INF lists.
#pragma once

#include <cstdint>

#include "install95/installer_app.h"

namespace install95 {

class ChoicePage;

// Deletes every subkey of HKEY_LOCAL_MACHINE\`classKey` whose name starts with `driver` (letter case
// ignored) and whose "DeviceID" names the card. Returns 1.
int RemoveMediaResources(InstallerApp& app, const char* classKey, const char* driver);

// Deletes the driver's registry keys, J6AUDIO.INF and the INF copies Windows made of it, and the files
// it lists, under a progress window over the page.
void RemoveOldDrivers(InstallerApp& app, ChoicePage& page);

// Deletes the files of a [SourceDisksFiles] list (`length` characters of NUL-separated name=value
// entries) from the system directory. A file Windows holds open is deleted at the next start instead,
// but only when the page asks for removal.
void DeleteListedFiles(InstallerApp& app, const ChoicePage& page, std::uint32_t length, const char* list);

}  // namespace install95
