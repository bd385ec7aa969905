// Removal of an installed driver set of the card: its multimedia registry entries, its own keys, the
// INF files Windows keeps for it, and the driver files its INF lists.
#pragma once

#include <cstdint>

#include "platform/os.h"
#include "platform/registry.h"

namespace install95 {

// Deletes every subkey of HKEY_LOCAL_MACHINE\`classKey` whose name starts with `driverName` (letter
// case ignored) and whose "DeviceID" names the card. Returns 1.
int RemoveMediaResources(platform::Os& os, const char* classKey, const char* driverName);

enum class RemovalRequested { kNo, kYes };

// Deletes the files of a [SourceDisksFiles] list (`length` characters of NUL-separated name=value
// entries) from the system directory. A file Windows holds open is deleted at the next start instead,
// but only when the user asked for removal.
void DeleteListedFiles(platform::Os& os, std::uint32_t length, const char* list, RemovalRequested removal);

}  // namespace install95
