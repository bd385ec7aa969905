// The removal steps, run before every installation and for a removal.
#pragma once

#include <cstdint>

#include "setupnt/setup_state.h"

namespace setupnt {

void RemoveDriverEntries(SetupState& state);
void RemoveDriverFiles(SetupState& state);

// Deletes every value of HKLM\`path` whose data begins with one of the user-mode driver names.
void DeleteValuesByData(platform::Os& os, const char* path);
// Deletes, with their subtrees, the subkeys of root\`path` whose names begin with `prefix`.
void DeleteSubkeysByPrefix(platform::Os& os, platform::HKey root, const char* path, const char* prefix);
// Stops the service if it runs and sets it to disabled. 1 when the service manager opened.
int DisableDriverService(platform::Os& os, const char* name);
// Deletes the file now, or at the next restart when it cannot be deleted now; true when the deletion
// was put off to the restart.
bool DeleteOrDefer(platform::Os& os, const char* path);

}  // namespace setupnt
