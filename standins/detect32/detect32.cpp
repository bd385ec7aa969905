// Stand-in for the outside detection library. A real Windows PC is no simulated machine, so it answers
// from what it can see and otherwise lets the installer go on:
//   16: 0x100 when J6CVXD.VXD is in the system directory (the driver set is installed), else 0;
//    1: 0 (the installer ignores this answer; nothing to prepare);
//    2: 0, "a card may be present", so the installation goes on (17 would end it on the no-card page);
// anything else: 0.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

bool VxdInstalled() {
  char path[MAX_PATH + 16] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::strcat(path, "\\J6CVXD.VXD");
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

extern "C" std::int32_t __stdcall J6DetectEntry(std::int32_t what) {
  switch (what) {
    case 16:
      return VxdInstalled() ? 0x100 : 0;
    default:
      return 0;
  }
}
