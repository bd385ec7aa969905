#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

std::uint32_t Win32VersionInfo::GetSize(const char* path) {
  DWORD handle = 0;
  return GetFileVersionInfoSizeA(path, &handle);
}

bool Win32VersionInfo::Get(const char* path, std::span<std::uint8_t> block) {
  return GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data());
}

bool Win32VersionInfo::Query(std::span<std::uint8_t> block, const char* subBlock, const void** value,
                             std::uint32_t* length) {
  void* found = nullptr;
  UINT size = 0;
  const bool ok = VerQueryValueA(block.data(), subBlock, &found, &size);
  if (value) *value = ok ? found : nullptr;
  if (length) *length = ok ? size : 0;
  return ok;
}

}  // namespace platform::win32
