#include "wizard/delete_key_tree.h"

#include <cstdint>
#include <cstring>

#include "platform/win_types.h"

namespace wizard {

namespace {

// Registry key names are at most 255 characters.
constexpr std::uint32_t kKeyNameSize = 256;

bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (ca >= 'a' && ca <= 'z') ca = static_cast<unsigned char>(ca - 'a' + 'A');
    if (cb >= 'a' && cb <= 'z') cb = static_cast<unsigned char>(cb - 'a' + 'A');
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

}  // namespace

int DeleteKeyTree(platform::Registry& registry, platform::HKey parent, const char* name) {
  if (name == nullptr) return 1;
  platform::HKey key = 0;
  if (registry.OpenKey(parent, name, &key) != platform::kErrorSuccess) return 1;
  std::uint32_t subkeys = 0;
  if (registry.QueryInfoKey(key, &subkeys, nullptr, nullptr, nullptr, nullptr) != platform::kErrorSuccess) {
    registry.CloseKey(key);
    return 1;
  }
  if (subkeys == 0) {
    registry.DeleteKey(parent, name);
  } else {
    char child[kKeyNameSize];
    std::uint32_t j = 0;
    while (j < subkeys) {
      std::uint32_t size = kKeyNameSize;
      if (registry.EnumKey(key, j, child, &size) != platform::kErrorSuccess) {
        ++j;
        continue;
      }
      DeleteKeyTree(registry, key, child);
      // The next child moves up into index j once this one is gone. A child that could not be
      // deleted stays there, and examining j again would never end.
      char now[kKeyNameSize];
      size = kKeyNameSize;
      if (registry.EnumKey(key, j, now, &size) == platform::kErrorSuccess && SameName(now, child)) ++j;
    }
    registry.DeleteKey(parent, name);
  }
  registry.CloseKey(key);
  return 1;
}

}  // namespace wizard
