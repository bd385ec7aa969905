// The private profile (INI file) calls of a simulated PC, over the program's own drive C, so that
// files read-only, in use, on a full disk or failing on request behave as any other file does. Lines
// are read with CR LF, LF or CR endings and written back with CR LF; comment lines (";") are not
// returned as section entries.
#pragma once

#include "platform/files.h"
#include "platform/os.h"
#include "platform/profiles.h"

namespace sim {

class ProcessProfiles : public platform::Profiles {
 public:
  ProcessProfiles(platform::FileSystem& files, platform::WindowsFamily family)
      : files_(files), family_(family) {}

  std::uint32_t GetSection(const char* section, char* buffer, std::uint32_t size, const char* file) override;
  bool WriteSection(const char* section, const char* entries, const char* file) override;
  std::uint32_t GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                          std::uint32_t size, const char* file) override;
  bool WriteString(const char* section, const char* key, const char* value, const char* file) override;

 private:
  platform::FileSystem& files_;
  platform::WindowsFamily family_;
};

}  // namespace sim
