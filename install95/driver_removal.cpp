#include "install95/driver_removal.h"

#include <cstring>
#include <string>
#include <vector>

#include "install95/inf_copy.h"
#include "install95/install_text.h"
#include "wizard/delete_key_tree.h"

namespace install95 {

namespace {

constexpr std::uint32_t kDeviceIdSize = 260;
constexpr const char* kPciCardId = "VEN_7A4E&DEV_E100";
constexpr const char* kIsaCardId = "QRL402A_DEV0004";

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

int RemoveMediaResources(platform::Os& os, const char* classKey, const char* driverName) {
  platform::Registry& registry = *os.registry;
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

void DeleteListedFiles(platform::Os& os, std::uint32_t length, const char* list, RemovalRequested removal) {
  platform::FileSystem& files = *os.files;
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
    if (error == platform::kErrorAccessDenied && removal == RemovalRequested::kYes)
      ScheduleRename(os, path.c_str(), "NUL", RenameCopy::kUseSource);
  }
}

}  // namespace install95
