#include "install95/inf_copy.h"

#include <cstring>
#include <string>

#include "install95/install_text.h"

namespace install95 {

namespace {

// The [Rename] entries and the new one are assembled in a list of this size.
constexpr std::uint32_t kRenameListSize = 4096;

}  // namespace

int ScheduleRename(platform::Os& os, const char* source, const char* target, RenameCopy copy) {
  platform::FileSystem& files = *os.files;
  std::string windowsDir = WindowsDirectory(files);
  std::string ini;
  if (source == nullptr || target == nullptr || windowsDir.empty() ||
      !JoinPath(windowsDir, "wininit.ini", &ini))
    return 1;

  char list[kRenameListSize] = {};
  std::uint32_t used = os.profiles->GetSection("Rename", list, kRenameListSize, ini.c_str());
  // A section the list cannot hold whole would lose its tail if written back: leave it as it is.
  if (used >= kRenameListSize - 2) return 1;

  std::string value = source;
  std::string temp;
  if (copy == RenameCopy::kCopyFirst) {
    char name[platform::kMaxPath] = {};
    if (files.GetTempFileName(windowsDir.c_str(), "j6audio", 0, name) == 0 ||
        std::memchr(name, 0, sizeof name) == nullptr)
      return 1;
    temp = name;
    // An empty temporary file would replace the target with nothing at the next start.
    if (!files.CopyFile(source, temp.c_str(), false)) {
      files.DeleteFile(temp.c_str());
      return 1;
    }
    value = temp;
  }

  std::string entry = std::string(target) + "=" + value;
  bool fits = used + entry.size() + 2 <= kRenameListSize;
  if (fits) {
    std::memcpy(list + used, entry.data(), entry.size());
    list[used + entry.size()] = '\0';
    list[used + entry.size() + 1] = '\0';
  }
  if ((!fits || !os.profiles->WriteSection("RENAME", list, ini.c_str())) && !temp.empty())
    files.DeleteFile(temp.c_str());
  return 1;
}

}  // namespace install95
