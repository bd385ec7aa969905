// Interrupt callbacks: the library only switches the virtual device's hook and tracks which cards have
// a callback attached.
#include "basedrv/hal/hal.h"

namespace j6base {

namespace {

std::uint32_t SendInterruptRequest(std::uint8_t what) {
  std::uint8_t in[32] = {};
  in[0] = what;
  std::uint8_t out[4] = {};
  std::uint32_t returned = 0;
  return VxD_APICall(service::kInterrupt, in, out, sizeof in, sizeof out, &returned, nullptr);
}

}  // namespace

std::uint32_t VEXA_HookInterrupt() {
  return SendInterruptRequest(1);
}

std::uint32_t VEXA_UnhookInterrupt() {
  const std::uint32_t result = SendInterruptRequest(2);
  if (SharedSection* shared = Shared()) shared->gbIntEnabled = 0;
  return result;
}

std::uint32_t DisableInterrupt() {
  SharedSection* shared = Shared();
  if (!shared) return 1;
  for (const auto& instance : shared->gVexaHWInst)
    if (instance.intCallback) return 0;
  return 1;
}

}  // namespace j6base

using namespace j6base;

extern "C" uint32_t J6API VEXA_AttachIntCallback(uint32_t deviceId, uint32_t attach, uint32_t callback) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  SharedSection* shared = Shared();
  if (!instance || !shared || instance->irq == 0) return VEXA_ERR_GENERAL;
  if (attach != 0) {
    if (shared->gbIntEnabled == 0) {
      VEXA_HookInterrupt();
      shared->gbIntEnabled = 1;
    }
    instance->intCallback = 1;
    std::uint8_t in[12] = {};
    LeBytes(in).Set32(0, deviceId);
    LeBytes(in).Set32(4, attach & 0xFFFF);
    LeBytes(in).Set32(8, callback);
    std::uint8_t out[4] = {};
    std::uint32_t returned = 0;
    VxD_APICall(service::kCallback, in, out, sizeof in, sizeof out, &returned, nullptr);
    return VEXA_OK;
  }
  instance->intCallback = 0;
  if (DisableInterrupt() == 1 && shared->gbIntEnabled) VEXA_UnhookInterrupt();
  return VEXA_OK;
}
