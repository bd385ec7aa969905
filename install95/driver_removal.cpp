#include "install95/driver_removal.h"

#include <cstring>
#include <string>
#include <vector>

#include "install95/inf_copy.h"
#include "install95/install_text.h"
#include "install95/pages.h"
#include "install95/resources.h"
#include "wizard/delete_key_tree.h"
#include "wizard/progress_window.h"

namespace install95 {

namespace {

constexpr std::uint32_t kDeviceIdSize = 260;
constexpr const char* kPciCardId = "VEN_7A4E&DEV_E100";
constexpr const char* kIsaCardId = "QRL402A_DEV0004";
constexpr const char* kVxdKey = "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVANTIS";
// The file list of J6AUDIO.INF is read into this many bytes.
constexpr std::uint32_t kFileListSize = 512;
// "%String1%" of [Manufacturer] is read into this many characters.
constexpr std::uint32_t kManufacturerSize = 40;

// An INF copy belongs to the card when its [Manufacturer] maps %String1% to J6AUDIO.
bool IsCardInf(platform::Profiles& profiles, const std::string& path) {
  char maker[kManufacturerSize] = {};
  profiles.GetString("Manufacturer", "%String1%", "", maker, kManufacturerSize, path.c_str());
  return EqualNoCase(std::string_view(maker, strnlen(maker, kManufacturerSize)), "J6AUDIO");
}

// Deletes the card's INF copies among the files of `dir` that match `pattern`.
void DeleteCardInfCopies(platform::Os& os, const std::string& dir, const char* pattern) {
  platform::FileSystem& files = *os.files;
  std::string search;
  if (!JoinPath(dir, pattern, &search)) return;
  // The names are gathered first, so the deletions cannot disturb the search.
  std::vector<std::string> names;
  platform::FindData data;
  platform::FindHandle find = files.FindFirstFile(search.c_str(), &data);
  if (find == platform::kInvalidFindHandle) return;
  do {
    if ((data.attributes & platform::kFileAttributeDirectory) == 0)
      names.emplace_back(data.name, strnlen(data.name, sizeof data.name));
  } while (files.FindNextFile(find, &data));
  files.FindClose(find);
  for (const std::string& name : names) {
    std::string path;
    if (!JoinPath(dir, name, &path) || !IsCardInf(*os.profiles, path)) continue;
    ClearReadOnly(files, path);
    files.DeleteFile(path.c_str());
  }
}

bool NamesCard(platform::Registry& registry, platform::HKey classKey, const char* subkeyName) {
  platform::HKey subkey = 0;
  if (registry.OpenKey(classKey, subkeyName, &subkey) != platform::kErrorSuccess) return false;
  char deviceId[kDeviceIdSize + 1] = {};
  std::uint32_t size = kDeviceIdSize;
  std::uint32_t type = 0;
  bool read = registry.QueryValue(subkey, "DeviceID", &type, reinterpret_cast<std::uint8_t*>(deviceId),
                                  &size) == platform::kErrorSuccess;
  registry.CloseKey(subkey);
  if (!read) return false;
  std::string_view id(deviceId, strnlen(deviceId, kDeviceIdSize));
  return Contains(id, kPciCardId) || Contains(id, kIsaCardId);
}

}  // namespace

int RemoveMediaResources(InstallerApp& app, const char* classKey, const char* driverName) {
  platform::Registry& registry = *app.os.registry;
  if (driverName == nullptr || *driverName == '\0') return 1;
  platform::HKey key = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, classKey, &key) != platform::kErrorSuccess) return 1;
  std::uint32_t subkeys = 0, longest = 0;
  if (registry.QueryInfoKey(key, &subkeys, &longest, nullptr, nullptr, nullptr) != platform::kErrorSuccess) {
    registry.CloseKey(key);
    return 1;
  }
  std::size_t prefix = std::strlen(driverName);
  std::vector<char> name(longest + 1);
  std::uint32_t i = 0;
  while (i < subkeys) {
    std::uint32_t size = longest + 1;
    if (registry.EnumKey(key, i, name.data(), &size) != platform::kErrorSuccess) {
      ++i;
      continue;
    }
    std::string subkeyName(name.data(), size);
    if (subkeyName.size() < prefix ||
        !EqualNoCase(std::string_view(subkeyName).substr(0, prefix), driverName) ||
        !NamesCard(registry, key, subkeyName.c_str())) {
      ++i;
      continue;
    }
    wizard::DeleteKeyTree(registry, key, subkeyName.c_str());
    // The next subkey has moved into index i. One that could not be deleted is still there; going
    // round again would never end.
    platform::HKey stillThere = 0;
    if (registry.OpenKey(key, subkeyName.c_str(), &stillThere) == platform::kErrorSuccess) {
      registry.CloseKey(stillThere);
      ++i;
    }
  }
  registry.CloseKey(key);
  return 1;
}

void DeleteListedFiles(InstallerApp& app, const ChoicePage& page, std::uint32_t length, const char* list) {
  platform::FileSystem& files = *app.os.files;
  std::string systemDir = SystemDirectory(files);
  std::string windowsDir = WindowsDirectory(files);
  if (list == nullptr || systemDir.empty()) return;
  std::uint32_t offset = 0;
  while (offset < length) {
    const char* entry = list + offset;
    std::size_t entryLength = strnlen(entry, length - offset);
    const char* equals = static_cast<const char*>(std::memchr(entry, '=', entryLength));
    if (equals == nullptr) break;
    offset += static_cast<std::uint32_t>(entryLength) + 1;
    std::string name(entry, equals);
    std::string path;
    if (!JoinPath(systemDir, name, &path)) continue;
    ClearReadOnly(files, path);
    if (files.DeleteFile(path.c_str())) continue;
    std::uint32_t error = files.LastError();
    if (Contains(path, "inf")) {
      std::string infPath;
      if (windowsDir.empty() || !JoinPath(windowsDir + "\\INF", name, &infPath)) continue;
      path = infPath;
      error = files.DeleteFile(path.c_str()) ? platform::kErrorSuccess : files.LastError();
    }
    if (error == platform::kErrorAccessDenied && page.removeWindows == 1)
      ScheduleRename(app, path.c_str(), "NUL", RenameCopy::kUseSource);
  }
}

void RemoveOldDrivers(InstallerApp& app, ChoicePage& page) {
  platform::Os& os = app.os;
  platform::FileSystem& files = *os.files;
  wizard::ProgressWindow progress(os.ui, Dialog(kProgressDialog), app.currentPage, "Removing old drivers ...",
                                  100, 0, 100, 10);
  progress.show();

  wizard::DeleteKeyTree(*os.registry, platform::kHkeyLocalMachine, kVxdKey);
  wizard::DeleteKeyTree(*os.registry, platform::kHkeyLocalMachine, kUninstallKey);
  progress.stepBy(10);

  std::string windowsDir = WindowsDirectory(files);
  std::string currentDir = CurrentDirectory(files);
  std::string infDir, installedInf, diskInf;
  bool haveInfDir = !windowsDir.empty() && JoinPath(windowsDir, "INF", &infDir);
  char list[kFileListSize] = {};
  std::uint32_t length = 0;
  if (haveInfDir && JoinPath(infDir, "J6AUDIO.INF", &installedInf) && FileExists(files, installedInf)) {
    length = os.profiles->GetSection("SourceDisksFiles", list, kFileListSize, installedInf.c_str());
    ClearReadOnly(files, installedInf);
    files.DeleteFile(installedInf.c_str());
  } else if (!currentDir.empty() && JoinPath(currentDir, "J6AUDIO.INF", &diskInf) &&
             FileExists(files, diskInf)) {
    length = os.profiles->GetSection("SourceDisksFiles", list, kFileListSize, diskInf.c_str());
  }
  progress.stepBy(5);

  if (haveInfDir) DeleteCardInfCopies(os, infDir, "oem*.inf");
  progress.stepBy(5);

  std::string otherDir;
  if (haveInfDir && JoinPath(infDir, "OTHER", &otherDir)) {
    std::uint32_t attributes = files.GetFileAttributes(otherDir.c_str());
    if (attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kFileAttributeDirectory) != 0)
      DeleteCardInfCopies(os, otherDir, "*.inf");
  }
  progress.stepBy(20);

  DeleteListedFiles(app, page, length, list);
  progress.finish();
}

}  // namespace install95
