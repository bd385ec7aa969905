// Requests to the card's virtual device through the calling process's own handle.
#include "basedrv/hal/hal.h"

namespace j6base {

namespace {
constexpr const char* kDeviceName = "\\\\.\\J6CVXD.VXD";
}

bool VxD_Open() {
  ProcessContext* process = CurrentProcess();
  if (!process) return false;
  platform::DeviceIo* devices = process->Os().devices;
  process->hJ6CVXD = devices ? devices->Open(kDeviceName) : platform::kInvalidDeviceHandle;
  return process->hJ6CVXD != platform::kInvalidDeviceHandle;
}

void VxD_Close() {
  ProcessContext* process = CurrentProcess();
  if (!process || process->hJ6CVXD == platform::kInvalidDeviceHandle) return;
  if (process->Os().devices) process->Os().devices->Close(process->hJ6CVXD);
  process->hJ6CVXD = platform::kInvalidDeviceHandle;
}

std::uint32_t VxD_APICall(std::uint32_t code, const void* in, void* out, std::uint32_t inSize,
                          std::uint32_t outSize, std::uint32_t* returned, void*) {
  ProcessContext* process = CurrentProcess();
  if (!process || process->hJ6CVXD == platform::kInvalidDeviceHandle || !process->Os().devices) return 0;
  std::uint32_t count = 0;
  bool ok = process->Os().devices->Control(process->hJ6CVXD, code, in, inSize, out, outSize, &count);
  if (returned) *returned = count;
  return ok ? 1 : 0;
}

}  // namespace j6base
