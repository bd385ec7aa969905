#include "platform/win32/backend.h"

#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

// The predefined roots are small negative numbers as HKEYs; on 64-bit they are sign-extended, so our
// 32-bit values must be widened the same way, and mapped back when Windows returns one.
constexpr HKey kFirstRoot = 0x80000000;
constexpr HKey kLastRoot = 0x80000006;

HKEY ToHkey(HKey key) {
  if (key >= kFirstRoot && key <= kLastRoot)
    return reinterpret_cast<HKEY>(static_cast<INT_PTR>(static_cast<std::int32_t>(key)));
  return reinterpret_cast<HKEY>(key);
}

HKey FromHkey(HKEY key) {
  const auto value = reinterpret_cast<INT_PTR>(key);
  if (value >= static_cast<std::int32_t>(kFirstRoot) && value <= static_cast<std::int32_t>(kLastRoot))
    return static_cast<HKey>(static_cast<std::uint32_t>(value));
  return reinterpret_cast<HKey>(key);
}

// Windows refuses a null out pointer with ERROR_INVALID_PARAMETER; some versions write through it first,
// so it is refused here before the call.
template <typename Call>
std::uint32_t WithOutKey(HKey* out, Call call) {
  if (!out) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  const LONG result = call(&key);
  *out = FromHkey(key);
  return static_cast<std::uint32_t>(result);
}

}  // namespace

std::uint32_t Win32Registry::OpenKey(HKey parent, const char* subkey, HKey* out) {
  return WithOutKey(out,
                    [&](HKEY* key) { return RegOpenKeyExA(ToHkey(parent), subkey, 0, KEY_ALL_ACCESS, key); });
}

std::uint32_t Win32Registry::CreateKey(HKey parent, const char* subkey, HKey* out, bool* created) {
  DWORD disposition = 0;
  const std::uint32_t result = WithOutKey(out, [&](HKEY* key) {
    return RegCreateKeyExA(ToHkey(parent), subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key, &disposition);
  });
  if (created) *created = result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return result;
}

std::uint32_t Win32Registry::CloseKey(HKey key) {
  return static_cast<std::uint32_t>(RegCloseKey(ToHkey(key)));
}

std::uint32_t Win32Registry::DeleteKey(HKey parent, const char* subkey) {
  return static_cast<std::uint32_t>(RegDeleteKeyA(ToHkey(parent), subkey));
}

std::uint32_t Win32Registry::QueryValue(HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                        std::uint32_t* size) {
  DwordRef typeRef(type), sizeRef(size);
  return static_cast<std::uint32_t>(
      RegQueryValueExA(ToHkey(key), name, nullptr, typeRef.get(), data, sizeRef.get()));
}

std::uint32_t Win32Registry::SetValue(HKey key, const char* name, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t size) {
  return static_cast<std::uint32_t>(RegSetValueExA(ToHkey(key), name, 0, type, data, size));
}

std::uint32_t Win32Registry::SetDefaultValue(HKey key, const char* subkey, const char* text) {
  // RegSetValueA ignores the size and stores the whole string.
  return static_cast<std::uint32_t>(RegSetValueA(ToHkey(key), subkey, REG_SZ, text, 0));
}

std::uint32_t Win32Registry::DeleteValue(HKey key, const char* name) {
  return static_cast<std::uint32_t>(RegDeleteValueA(ToHkey(key), name));
}

std::uint32_t Win32Registry::EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) {
  // Windows refuses a missing name buffer or length; Wine would report ERROR_MORE_DATA instead.
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  DwordRef sizeRef(nameSize);
  return static_cast<std::uint32_t>(
      RegEnumKeyExA(ToHkey(key), index, name, sizeRef.get(), nullptr, nullptr, nullptr, nullptr));
}

std::uint32_t Win32Registry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  DwordRef nameRef(nameSize), typeRef(type), dataRef(dataSize);
  return static_cast<std::uint32_t>(
      RegEnumValueA(ToHkey(key), index, name, nameRef.get(), nullptr, typeRef.get(), data, dataRef.get()));
}

std::uint32_t Win32Registry::QueryInfoKey(HKey key, std::uint32_t* subkeys, std::uint32_t* maxSubkeyLen,
                                          std::uint32_t* values, std::uint32_t* maxValueNameLen,
                                          std::uint32_t* maxValueLen) {
  DwordRef subkeysRef(subkeys), maxSubkeyRef(maxSubkeyLen), valuesRef(values), maxNameRef(maxValueNameLen),
      maxValueRef(maxValueLen);
  return static_cast<std::uint32_t>(RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, subkeysRef.get(),
                                                     maxSubkeyRef.get(), nullptr, valuesRef.get(),
                                                     maxNameRef.get(), maxValueRef.get(), nullptr, nullptr));
}

}  // namespace platform::win32
