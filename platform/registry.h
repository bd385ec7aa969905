// The registry, in the shape of the ANSI Win32 registry calls: results are Win32 error codes (0 =
// success), names are NUL-terminated and may be null where the Win32 call allows it.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace platform {

// An open key. The predefined roots have fixed values; every other value is a handle the backend gave out.
using HKey = std::uintptr_t;
constexpr HKey kHkeyClassesRoot = 0x80000000;
constexpr HKey kHkeyCurrentUser = 0x80000001;
constexpr HKey kHkeyLocalMachine = 0x80000002;
constexpr HKey kHkeyUsers = 0x80000003;
constexpr HKey kHkeyCurrentConfig = 0x80000005;
constexpr HKey kHkeyDynData = 0x80000006;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA with full access.
  virtual std::uint32_t OpenKey(HKey parent, const char* subkey, HKey* out) = 0;
  // RegCreateKeyExA: no class, non-volatile, full access. `created` (may be null) tells whether it is new.
  virtual std::uint32_t CreateKey(HKey parent, const char* subkey, HKey* out, bool* created = nullptr) = 0;
  virtual std::uint32_t CloseKey(HKey key) = 0;
  // RegDeleteKeyA: Windows 95 removes the whole branch, NT refuses a key that has subkeys.
  virtual std::uint32_t DeleteKey(HKey parent, const char* subkey) = 0;

  // RegQueryValueExA: data may be null to learn type and size; a short buffer gives kErrorMoreData.
  virtual std::uint32_t QueryValue(HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                   std::uint32_t* size) = 0;
  // RegSetValueExA.
  virtual std::uint32_t SetValue(HKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                                 std::uint32_t size) = 0;
  // RegSetValueA: the default value of `subkey` (created if needed), always REG_SZ.
  virtual std::uint32_t SetDefaultValue(HKey key, const char* subkey, const char* text) = 0;
  virtual std::uint32_t DeleteValue(HKey key, const char* name) = 0;

  // RegEnumKeyExA: subkeys in name order. `nameSize` holds the buffer size in, the length out.
  virtual std::uint32_t EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) = 0;
  // RegEnumValueA: values in the order they were created.
  virtual std::uint32_t EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                  std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) = 0;
  // RegQueryInfoKeyA, the counts and longest lengths that callers use.
  virtual std::uint32_t QueryInfoKey(HKey key, std::uint32_t* subkeys, std::uint32_t* maxSubkeyLen,
                                     std::uint32_t* values, std::uint32_t* maxValueNameLen,
                                     std::uint32_t* maxValueLen) = 0;
};

}  // namespace platform
