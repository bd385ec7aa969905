#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

DeviceHandle Win32DeviceIo::Open(const char* name) {
  // The way a virtual device driver is opened: no access, no sharing, CREATE_NEW, delete on close.
  HANDLE device = CreateFileA(name, 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return device == INVALID_HANDLE_VALUE ? kInvalidDeviceHandle : reinterpret_cast<DeviceHandle>(device);
}

bool Win32DeviceIo::Close(DeviceHandle device) {
  return CloseHandle(reinterpret_cast<HANDLE>(device));
}

bool Win32DeviceIo::Control(DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                            void* out, std::uint32_t outSize, std::uint32_t* returned) {
  DWORD count = 0;
  const bool ok = DeviceIoControl(reinterpret_cast<HANDLE>(device), code, const_cast<void*>(in), inSize, out,
                                  outSize, &count, nullptr);
  if (returned) *returned = count;
  return ok;
}

}  // namespace platform::win32
