// Small text and path helpers of the installer: ASCII case, substring tests, and paths kept within the
// 260-character buffers the installer builds them in.
#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"

namespace install95 {

std::string Upper(std::string_view text);
bool Contains(std::string_view text, std::string_view part);
bool ContainsNoCase(std::string_view text, std::string_view part);
bool EqualNoCase(std::string_view a, std::string_view b);

// dir + "\" + name (no second backslash after a drive root). False when the result would not fit a
// 260-character path buffer with its NUL; a cut path could name another file, so callers skip it.
bool JoinPath(std::string_view dir, std::string_view name, std::string* out);

// The Windows, system and current directories; empty when the platform cannot say or the path is too long.
std::string WindowsDirectory(platform::FileSystem& files);
std::string SystemDirectory(platform::FileSystem& files);
std::string CurrentDirectory(platform::FileSystem& files);

bool FileExists(platform::FileSystem& files, const std::string& path);
// Clears the read-only attribute, keeping the others, so that the file can be deleted or overwritten.
void ClearReadOnly(platform::FileSystem& files, const std::string& path);

}  // namespace install95
