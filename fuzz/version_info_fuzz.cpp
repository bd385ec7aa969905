// libFuzzer target: any bytes as a DLL whose version resource is read. Every value handed back must lie
// inside the caller's block.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/pc.h"
#include "sim/drive.h"

namespace {

void Query(platform::VersionInfo& versions, std::vector<std::uint8_t>& block, const std::string& sub) {
  const void* value = nullptr;
  std::uint32_t length = 0;
  if (!versions.Query(block, sub.c_str(), &value, &length)) return;
  const auto* p = static_cast<const std::uint8_t*>(value);
  if (p < block.data() || p > block.data() + block.size()) std::abort();
  // Text values are counted in characters with their NUL, the rest in bytes: both fit in the block.
  if (length > std::size_t(block.data() + block.size() - p)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static j6fuzz::Pc pc;
  pc.Put("WINDOWS/FUZZ.DLL", data, size);
  platform::VersionInfo& versions = *pc.Os().versions;
  const std::uint32_t need = versions.GetSize("C:\\WINDOWS\\FUZZ.DLL");
  if (need == 0 || need > (64u << 20)) return 0;
  std::vector<std::uint8_t> block(need);
  if (!versions.Get("C:\\WINDOWS\\FUZZ.DLL", block)) return 0;
  Query(versions, block, "\\");
  Query(versions, block, "\\VarFileInfo\\Translation");
  // The string table the translation names, as a caller looks values up.
  const void* value = nullptr;
  std::uint32_t length = 0;
  std::string table = "040904E4";
  if (versions.Query(block, "\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
    std::uint16_t pair[2];
    std::memcpy(pair, value, 4);
    char name[9];
    std::snprintf(name, sizeof name, "%04X%04X", pair[0], pair[1]);
    table = name;
  }
  for (const char* key : {"FileVersion", "ProductName", "CompanyName", ""})
    Query(versions, block, "\\StringFileInfo\\" + table + "\\" + key);
  Query(versions, block, "\\StringFileInfo");
  Query(versions, block, "");
  if (pc.Machine().Get<sim::Drive>().IsOpen("WINDOWS\\FUZZ.DLL")) std::abort();
  // A too small block must not be written past.
  std::vector<std::uint8_t> small(need / 2);
  versions.Get("C:\\WINDOWS\\FUZZ.DLL", small);
  return 0;
}
