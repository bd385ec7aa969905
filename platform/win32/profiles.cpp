#include "platform/win32/backend.h"

#include "platform/win32/windows_api.h"

namespace platform::win32 {

std::uint32_t Win32Profiles::GetSection(const char* section, char* buffer, std::uint32_t size,
                                        const char* file) {
  return GetPrivateProfileSectionA(section, buffer, size, file);
}

bool Win32Profiles::WriteSection(const char* section, const char* entries, const char* file) {
  return WritePrivateProfileSectionA(section, entries, file);
}

std::uint32_t Win32Profiles::GetString(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, std::uint32_t size, const char* file) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, file);
}

bool Win32Profiles::WriteString(const char* section, const char* key, const char* value, const char* file) {
  return WritePrivateProfileStringA(section, key, value, file);
}

}  // namespace platform::win32
