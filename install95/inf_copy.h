// Copy of the driver files that the disk's J6AUDIO.INF lists, with replacement at the next start of
// Windows (wininit.ini [Rename]) for files in use, and the Downloadable Sounds question that follows.
#pragma once

#include <cstdint>

#include "platform/os.h"
#include "platform/ui.h"

namespace install95 {

enum class RenameCopy { kUseSource, kCopyFirst };

// Adds "target=source" to the [Rename] section of wininit.ini in the Windows directory; the target
// "NUL" deletes the source at the next start. With kCopyFirst the source is first copied to a
// temporary file in the Windows directory, which the entry then names. Returns 1.
int ScheduleRename(platform::Os& os, const char* source, const char* target, RenameCopy copy);

}  // namespace install95
