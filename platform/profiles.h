// Private profile (INI file) calls, in the shape of the ANSI Win32 calls. A bare file name is looked up
// in the Windows directory.
#pragma once

#include <cstdint>

namespace platform {

class Profiles {
 public:
  virtual ~Profiles() = default;

  // GetPrivateProfileSectionA: one NUL-terminated "name=value" string per line and a final NUL; returns
  // the characters written without the final NUL, or size - 2 when the section does not fit.
  virtual std::uint32_t GetSection(const char* section, char* buffer, std::uint32_t size,
                                   const char* file) = 0;
  // WritePrivateProfileSectionA: replaces every line of the section; null `entries` deletes it.
  virtual bool WriteSection(const char* section, const char* entries, const char* file) = 0;
  // GetPrivateProfileStringA; a null key lists the keys of the section.
  virtual std::uint32_t GetString(const char* section, const char* key, const char* defaultValue,
                                  char* buffer, std::uint32_t size, const char* file) = 0;
  // WritePrivateProfileStringA: null value deletes the key, null key deletes the section.
  virtual bool WriteString(const char* section, const char* key, const char* value, const char* file) = 0;
};

}  // namespace platform
