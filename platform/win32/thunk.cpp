#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

using ConnectFunction = BOOL(WINAPI*)(LPVOID, LPSTR, LPSTR, LPSTR, HINSTANCE, DWORD);
using VoidFunction = void(WINAPI*)();
using MapFunction = LPVOID(WINAPI*)(DWORD);
using UnMapFunction = void(WINAPI*)(DWORD, DWORD*);

template <typename Function>
Function As(void* address) {
  return reinterpret_cast<Function>(address);
}

void* Kernel32(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

}  // namespace

Win32Thunk::Win32Thunk()
    : connect_(Kernel32("ThunkConnect32")),
      prolog_(Kernel32("K32Thk1632Prolog")),
      epilog_(Kernel32("K32Thk1632Epilog")),
      mapSLFix_(Kernel32("MapSLFix")),
      unMapSLFixArray_(Kernel32("UnMapSLFixArray")) {}

bool Win32Thunk::Connect32(void* thunkData32, const char* thunkData16Name, const char* library16,
                           const char* library32, std::uintptr_t instance, std::uint32_t reason) {
  if (!connect_) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  return As<ConnectFunction>(connect_)(thunkData32, const_cast<char*>(thunkData16Name),
                                       const_cast<char*>(library16), const_cast<char*>(library32),
                                       reinterpret_cast<HINSTANCE>(instance), reason);
}

void Win32Thunk::Prolog() {
  if (prolog_) As<VoidFunction>(prolog_)();
}

void Win32Thunk::Epilog() {
  if (epilog_) As<VoidFunction>(epilog_)();
}

std::uint32_t Win32Thunk::MapSLFix(std::uint32_t segmentedPointer) {
  if (!segmentedPointer || !mapSLFix_) return 0;
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(As<MapFunction>(mapSLFix_)(segmentedPointer)));
}

void Win32Thunk::UnMapSLFixArray(std::uint32_t count, const std::uint32_t* segmentedPointers) {
  if (!unMapSLFixArray_ || !count || !segmentedPointers) return;
  // The call takes a writable array of DWORDs; ours are uint32_t, so pass a copy.
  std::vector<DWORD> pointers(segmentedPointers, segmentedPointers + count);
  As<UnMapFunction>(unMapSLFixArray_)(count, pointers.data());
}

}  // namespace platform::win32
