// file.lst, the list of what the installation disk installs, and the table used when a disk has none.
#pragma once

#include <array>
#include <functional>
#include <string_view>

#include "setupnt/setup_state.h"

namespace setupnt {

// Used when the disk carries no file.lst; each entry keeps its leading backslash.
inline constexpr std::array<const char*, 6> BuiltInFileTable = {
    "\\j6usrdrv.dll", "\\j6fmdrv.dll", "\\j6usrjs.dll", "\\j6audio.cpl", "\\j6knldrv.sys", "\\j6knljs.sys",
};

// Reads the section "SourceDisksFiles" of file.lst in the current directory into state.fileList.
// Returns whether file.lst exists.
bool LoadFileList(SetupState& state);

// Calls `visit` with the name of each entry of the list, in file order, up to the first entry without "=".
void ForEachListedName(const FileList& list, const std::function<void(const std::string&)>& visit);

// Whether a file belongs in the drivers directory below the system directory. Names from file.lst count
// with "sys" or "SYS"; the built-in table only ever holds lower-case names.
bool GoesToDriversDir(std::string_view name, bool fromList);

}  // namespace setupnt
