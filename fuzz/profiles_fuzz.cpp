// libFuzzer target: any bytes as an INI file. Reading a section or a key must stay inside the caller's
// buffer at every size, and a section written back must read back, whatever the rest of the file holds.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/pc.h"
#include "sim/drive.h"

namespace {

// The first section name of the file, so the fuzzer reaches sections it made up itself.
std::string FirstSection(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const char* open = static_cast<const char*>(std::memchr(text, '[', size));
  if (!open) return "";
  const char* end = text + size;
  std::string name;
  for (const char* p = open + 1; p < end && *p != ']' && *p != '\n' && *p != '\r' && *p != 0; ++p) name += *p;
  return name;
}

// The reply must end with its NUL inside the buffer and never claim more than fits.
void CheckReply(const std::vector<char>& buffer, std::uint32_t n) {
  const std::size_t size = buffer.size();
  if (size == 0) return;
  if (n >= size || buffer[n] != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static j6fuzz::Pc pc;
  // Spelled as the calls spell it, so the drive finds it without searching the folder.
  pc.Put("WINDOWS/fuzz.ini", data, size);
  platform::Profiles& profiles = *pc.Os().profiles;
  const std::string first = FirstSection(data, size);
  const std::string sections[] = {first, "j6"};

  for (std::uint32_t bufferSize : {0u, 2u, 17u, 4096u}) {
    for (const std::string& section : sections) {
      std::vector<char> buffer(bufferSize, 'x');
      char* out = buffer.empty() ? nullptr : buffer.data();
      CheckReply(buffer, profiles.GetSection(section.c_str(), out, bufferSize, "fuzz.ini"));
      std::fill(buffer.begin(), buffer.end(), 'x');
      CheckReply(buffer, profiles.GetString(section.c_str(), nullptr, "", out, bufferSize, "fuzz.ini"));
      std::fill(buffer.begin(), buffer.end(), 'x');
      CheckReply(buffer, profiles.GetString(section.c_str(), "a", "dflt", out, bufferSize, "fuzz.ini"));
    }
  }

  // A section replaced in a fuzzed file reads back as written.
  if (profiles.WriteSection("J6Fuzz", "Key=Value\0Other=2\0", "fuzz.ini")) {
    char value[16] = {};
    profiles.GetString("J6Fuzz", "Key", "", value, sizeof value, "fuzz.ini");
    if (std::strcmp(value, "Value") != 0) std::abort();
  }
  if (pc.Machine().Get<sim::Drive>().IsOpen("WINDOWS\\FUZZ.INI")) std::abort();
  return 0;
}
