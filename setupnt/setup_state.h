// What the setup program keeps for the length of one run: the file list read from the disk, the choice
// made on the ChoicePage and the window that owns the work steps' progress windows and copy dialogs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os.h"

namespace setupnt {

// The section "SourceDisksFiles" of file.lst as the profile reader returned it.
struct FileList {
  std::vector<char> text;
  std::uint32_t length = 0;

  bool Present() const { return !text.empty() && length != 0; }
};

enum InstallChoiceValue : int { kChoiceInstall = 0, kChoiceRemove = 1 };

struct SetupState {
  explicit SetupState(platform::Os& o) : os(o) {}

  platform::Os& os;
  FileList fileList;
  int installChoice = kChoiceInstall;
  platform::WindowHandle choicePage = 0;
  // Files whose deletion was put off to the next restart. The copy onto such a file must wait for the
  // restart too, or the deferred deletion would take the new file with it.
  std::vector<std::string> deferredDeletions;
};

// Directory helpers; each returns an empty text when the system cannot answer.
std::string CurrentDirectory(platform::Os& os);
std::string SystemDirectory(platform::Os& os);
std::string WindowsDirectory(platform::Os& os);

// Case-insensitive comparisons in the C locale, byte by byte.
int CompareNoCase(const char* a, const char* b);
bool StartsWithNoCase(const char* text, const char* prefix, std::size_t count);

}  // namespace setupnt
