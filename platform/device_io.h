// Requests to the card's virtual device driver: CreateFileA on "\\.\J6CVXD.VXD", DeviceIoControl and
// CloseHandle.
#pragma once

#include <cstdint>

namespace platform {

using DeviceHandle = std::uintptr_t;
constexpr DeviceHandle kInvalidDeviceHandle = ~DeviceHandle{0};

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;

  // Opens the device by its name (for example "\\.\J6CVXD.VXD"); kInvalidDeviceHandle when it is missing.
  virtual DeviceHandle Open(const char* name) = 0;
  virtual bool Close(DeviceHandle device) = 0;
  // DeviceIoControl without overlapped I/O: true on success, `returned` gets the output byte count.
  virtual bool Control(DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) = 0;
};

}  // namespace platform
