#include "install95/inf_copy.h"

#include <cstring>
#include <string>

#include "install95/install_text.h"
#include "install95/pages.h"
#include "install95/resources.h"
#include "wizard/progress_window.h"

namespace install95 {

namespace {

// The [Rename] entries and the new one are assembled in a list of this size.
constexpr std::uint32_t kRenameListSize = 4096;
// [SourceDisksFiles] is read into this many bytes; a longer section is cut by the reader.
constexpr std::uint32_t kSectionSize = 512;

}  // namespace

int CopyInfFiles(InstallerApp& app, ChoicePage& page) {
  platform::Os& os = app.os;
  platform::FileSystem& files = *os.files;
  std::string windowsDir = WindowsDirectory(files);
  std::string currentDir = CurrentDirectory(files);
  std::string inf;
  if (windowsDir.empty() || currentDir.empty() || !JoinPath(currentDir, "J6AUDIO.INF", &inf) ||
      !FileExists(files, inf))
    return 0;

  char section[kSectionSize] = {};
  std::uint32_t length = os.profiles->GetSection("SourceDisksFiles", section, kSectionSize, inf.c_str());
  wizard::ProgressWindow progress(os.ui, Dialog(kProgressDialog), app.currentPage, "Copying Files ...",
                                  page.requiredBytes, 0, 100, 10);
  progress.show();
  std::uint32_t offset = 0;
  while (offset < length) {
    const char* entry = section + offset;
    std::size_t entryLength = strnlen(entry, length - offset);
    const char* equals = static_cast<const char*>(std::memchr(entry, '=', entryLength));
    if (equals == nullptr) break;
    offset += static_cast<std::uint32_t>(entryLength) + 1;
    std::string name(entry, equals);
    std::string source, target;
    if (!JoinPath(currentDir, name, &source)) continue;
    const char* folder = Contains(Upper(source), ".INF") ? "\\inf" : "\\system";
    if (!JoinPath(windowsDir + folder, name, &target)) continue;
    platform::FindData data;
    platform::FindHandle find = files.FindFirstFile(source.c_str(), &data);
    if (find == platform::kInvalidFindHandle) continue;
    files.FindClose(find);
    if (!files.CopyFile(source.c_str(), target.c_str(), false))
      ScheduleRename(app, source.c_str(), target.c_str(), RenameCopy::kCopyFirst);
    progress.stepBy(static_cast<std::int32_t>(data.size));
  }
  progress.finish();
  return 1;
}

int ScheduleRename(InstallerApp& app, const char* source, const char* target, RenameCopy copy) {
  platform::Os& os = app.os;
  platform::FileSystem& files = *os.files;
  std::string windowsDir = WindowsDirectory(files);
  std::string ini;
  if (source == nullptr || target == nullptr || windowsDir.empty() ||
      !JoinPath(windowsDir, "wininit.ini", &ini))
    return 1;

  char list[kRenameListSize] = {};
  const std::uint32_t read = os.profiles->GetSection("Rename", list, kRenameListSize, ini.c_str());
  // A section the list cannot hold whole would lose its tail if written back: leave it as it is.
  if (read >= kRenameListSize - 2) return 1;
  // The entries end at the first empty string, which a line holding NUL bytes can put before the
  // reader's count: an entry appended after it would never be read back.
  std::uint32_t used = 0;
  while (used < read && list[used] != '\0')
    used += static_cast<std::uint32_t>(strnlen(list + used, read - used)) + 1;

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
