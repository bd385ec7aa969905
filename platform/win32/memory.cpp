#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

bool Win32AddressSpace::Contains(LinearAddress address, std::uint32_t length) {
  if (address == 0 || std::uint64_t{address} + length > 0x100000000ull) return false;
  // 64-bit arithmetic: a range that ends exactly at 4 GB must not wrap to 0 on a 32-bit build.
  const std::uint64_t end = std::uint64_t{address} + length;
  std::uint64_t at = address;
  do {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(reinterpret_cast<void*>(static_cast<std::uintptr_t>(at)), &info, sizeof info))
      return false;
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (info.State != MEM_COMMIT || !(info.Protect & kReadable) || (info.Protect & PAGE_GUARD)) return false;
    at = std::uint64_t{reinterpret_cast<std::uintptr_t>(info.BaseAddress)} + info.RegionSize;
  } while (at < end);
  return true;
}

std::span<std::uint8_t> Win32AddressSpace::Map(LinearAddress address, std::uint32_t length) {
  if (length == 0 || !Contains(address, length)) return {};
  return {reinterpret_cast<std::uint8_t*>(std::uintptr_t{address}), length};
}

LinearAddress Win32AddressSpace::GlobalAlloc(std::uint32_t size) {
  const auto pointer = reinterpret_cast<std::uintptr_t>(::GlobalAlloc(GPTR, size));
  // Only meaningful where pointers are 32 bits; a 64-bit address that does not fit counts as no memory.
  if (pointer > 0xFFFFFFFFu) {
    ::GlobalFree(reinterpret_cast<HGLOBAL>(pointer));
    return 0;
  }
  return static_cast<LinearAddress>(pointer);
}

void Win32AddressSpace::GlobalFree(LinearAddress address) {
  if (address) ::GlobalFree(reinterpret_cast<HGLOBAL>(std::uintptr_t{address}));
}

std::uint32_t Win32AddressSpace::TotalPhysicalMemory() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  ::GlobalMemoryStatus(&status);
  // GlobalMemoryStatus saturates at 4 GB on 32-bit Windows; the 64-bit field can hold more.
  return status.dwTotalPhys > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(status.dwTotalPhys);
}

}  // namespace platform::win32
