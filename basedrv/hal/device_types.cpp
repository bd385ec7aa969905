// Device types, device handles, resource locks, DMA channels and pipes.
#include "basedrv/hal/hal.h"

namespace j6base {

namespace {

constexpr std::uint32_t kMode78Bit = 0x02;

// The runtime library's rand(): 0 to 32767, one sequence per process.
std::uint32_t NextRandom(ProcessContext& process) {
  process.randSeed = process.randSeed * 214013u + 2531011u;
  return (process.randSeed >> 16) & 0x7FFF;
}

// The per-type entry that a handle names, if the handle is the one stored there.
TypeEntry* MatchHandle(DeviceInstance& instance, std::uint32_t handle) {
  const std::uint32_t type = handle & 0xFFFF;
  if (type >= kDeviceTypes) return nullptr;
  TypeEntry& entry = instance.types[type];
  return entry.handle == handle ? &entry : nullptr;
}

bool DescriptorInUse(const DeviceInstance& instance, std::uint32_t descriptor) {
  return instance.dma[descriptor].inUse != 0;
}

// Status of the conflict checks of `type`, in their fixed order.
std::uint32_t CheckConflicts(const DeviceInstance& in, std::uint32_t type) {
  auto open = [&](std::uint32_t t) { return in.types[t].open != 0; };
  switch (type) {
    case 0:
      if (in.mode78) return VEXA_ERR_CONFLICT;
      if (open(0)) return VEXA_ERR_OPEN;
      if (DescriptorInUse(in, 2)) return VEXA_ERR_CONFLICT;
      return VEXA_OK;
    case 1:
      if (open(1)) return VEXA_ERR_OPEN;
      if (DescriptorInUse(in, 0)) return VEXA_ERR_CONFLICT;
      return VEXA_OK;
    case 2:
      if (in.mode78) return VEXA_ERR_CONFLICT;
      if (open(2)) return VEXA_ERR_OPEN;
      return VEXA_OK;
    case 3:
      if (in.mode78) return VEXA_ERR_CONFLICT;
      if (open(4)) return VEXA_ERR_CONFLICT;
      if (open(3)) return VEXA_ERR_OPEN;
      return VEXA_OK;
    case 4:
      if (open(3)) return VEXA_ERR_CONFLICT;
      if (open(4)) return VEXA_ERR_OPEN;
      return VEXA_OK;
    case 5:
    case 6:
      return open(type) ? VEXA_ERR_OPEN : VEXA_OK;
    case 7:
    case 8:
      if (open(0) || open(2) || open(3)) return VEXA_ERR_CONFLICT;
      if (DescriptorInUse(in, type == 7 ? 2 : 1)) return VEXA_ERR_CONFLICT;
      return VEXA_OK;
  }
  return VEXA_ERR_GENERAL;
}

// The lock counter of a type: the one numbered by the lowest set bit of its resource mask.
std::uint32_t LockCounterOf(std::uint32_t mask) {
  for (std::uint32_t bit = 0; bit < kLockCounters; ++bit)
    if (mask & (1u << bit)) return bit;
  return kLockCounters;
}

std::uint32_t SendLockRequest(std::uint32_t code, std::uint32_t mask, std::uint32_t value) {
  std::uint8_t in[8] = {};
  LeBytes(in).Set32(0, mask);
  LeBytes(in).Set32(4, value);
  std::uint8_t out[8] = {};
  std::uint32_t returned = 0;
  return VxD_APICall(code, in, out, sizeof in, sizeof out, &returned, nullptr);
}

}  // namespace

}  // namespace j6base

using namespace j6base;

extern "C" {

uint32_t J6API VEXA_OpenDevice(uint32_t deviceId, uint32_t type, uint32_t* handle) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  ProcessContext* process = CurrentProcess();
  if (!instance || !process) return VEXA_ERR_GENERAL;

  if (!instance->legacyMode) {
    std::uint8_t id[4] = {};
    LeBytes(id).Set32(0, deviceId);
    std::uint32_t returned = 0;
    if (VxD_APICall(service::kHardwareInfo, id, instance->hwInfo.data(), sizeof id, kHwInfoSize, &returned,
                    nullptr)) {
      instance->portCopies[1] = instance->HwInfo().U16(hw::kPort0E);
      DMA_Init(deviceId);
    }
  }
  if (type >= kDeviceTypes || !handle) return VEXA_ERR_GENERAL;
  if (const std::uint32_t status = CheckConflicts(*instance, type); status != VEXA_OK) return status;

  if ((type == 7 || type == 8) && instance->mode78 != 1) {
    instance->mode78 = 1;
    const std::uint16_t reg0 = VEXA_GetRegister(deviceId, VEXA_REG_DIRECT, 0);
    VEXA_SetRegister(deviceId, VEXA_REG_DIRECT, 0, reg0 | kMode78Bit);
  }
  const std::uint32_t newHandle = NextRandom(*process) << 16 | type;
  *handle = newHandle;
  instance->types[type].handle = newHandle;
  instance->types[type].open = 1;
  return VEXA_OK;
}

uint32_t J6API VEXA_CloseDevice(uint32_t deviceId, uint32_t handle) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance) return VEXA_ERR_GENERAL;
  TypeEntry* entry = MatchHandle(*instance, handle);
  if (!entry) return VEXA_ERR_HANDLE;
  if (!entry->open) return VEXA_ERR_GENERAL;
  const std::uint32_t type = handle & 0xFFFF;
  if (type == 7 || type == 8) {
    if (instance->mode78 != 1) return VEXA_ERR_GENERAL;
    const std::uint32_t other = type == 7 ? 8 : 7;
    if (!instance->types[other].open) {
      const std::uint16_t reg0 = VEXA_GetRegister(deviceId, VEXA_REG_DIRECT, 0);
      VEXA_SetRegister(deviceId, VEXA_REG_DIRECT, 0, reg0 & ~kMode78Bit);
      instance->mode78 = 0;
    }
  }
  if (entry->dma) VEXA_FreeDMAChannel(deviceId, handle);
  entry->open = 0;
  entry->handle = 0xFFFFFFFF;
  return VEXA_OK;
}

uint32_t J6API VEXA_LockDevice(uint32_t deviceId, uint32_t handle, uint32_t value) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  SharedSection* shared = Shared();
  if (!instance || !shared) return VEXA_ERR_GENERAL;
  TypeEntry* entry = MatchHandle(*instance, handle);
  if (!entry) return VEXA_ERR_HANDLE;
  if (!entry->open) return VEXA_ERR_NOT_OPEN;
  if (entry->locked) return VEXA_ERR_LOCKED;
  const std::uint32_t mask = shared->fVexaAcquireFlags[handle & 0xFFFF];
  const std::uint32_t counter = LockCounterOf(mask);
  if (counter >= kLockCounters) return VEXA_ERR_GENERAL;
  if (instance->lockCounters[counter] == 0 && !SendLockRequest(service::kAcquire, mask, value))
    return VEXA_ERR_LOCK;
  instance->lockCounters[counter] += 1;
  entry->locked = 1;
  return VEXA_OK;
}

uint32_t J6API VEXA_UnLockDevice(uint32_t deviceId, uint32_t handle, uint32_t value) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  SharedSection* shared = Shared();
  if (!instance || !shared) return VEXA_ERR_GENERAL;
  TypeEntry* entry = MatchHandle(*instance, handle);
  if (!entry) return VEXA_ERR_HANDLE;
  if (!entry->locked) return VEXA_ERR_GENERAL;
  const std::uint32_t mask = shared->fVexaAcquireFlags[handle & 0xFFFF];
  const std::uint32_t counter = LockCounterOf(mask);
  if (counter >= kLockCounters) return VEXA_ERR_GENERAL;
  if (instance->lockCounters[counter] == 0) return VEXA_OK;
  instance->lockCounters[counter] -= 1;
  if (instance->lockCounters[counter] == 0 && !SendLockRequest(service::kRelease, mask, value))
    return VEXA_ERR_LOCK;
  entry->locked = 0;
  return VEXA_OK;
}

uint32_t J6API VEXA_AllocateDMAChannel(uint32_t deviceId, uint32_t handle, void* dmaRecord) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance) return VEXA_ERR_GENERAL;
  TypeEntry* entry = MatchHandle(*instance, handle);
  if (!entry || entry->dmaDescriptor >= kDmaDescriptors || !dmaRecord) return VEXA_ERR_GENERAL;
  DmaDescriptor& descriptor = instance->dma[entry->dmaDescriptor];
  if (descriptor.inUse) return VEXA_ERR_DMA_IN_USE;
  descriptor.inUse = 1;
  entry->dma = 1;
  auto* out = static_cast<std::uint8_t*>(dmaRecord);
  for (std::uint32_t i = 0; i < kDmaRecordSize; ++i) out[i] = descriptor.record[i];
  return VEXA_OK;
}

uint32_t J6API VEXA_FreeDMAChannel(uint32_t deviceId, uint32_t handle) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance) return VEXA_ERR_GENERAL;
  TypeEntry* entry = MatchHandle(*instance, handle);
  if (!entry) return VEXA_ERR_GENERAL;
  if (!entry->dma) return VEXA_ERR_NO_DMA;
  if (entry->dmaDescriptor >= kDmaDescriptors) return VEXA_ERR_GENERAL;
  DmaDescriptor& descriptor = instance->dma[entry->dmaDescriptor];
  descriptor.inUse = 0;
  entry->dma = 0;
  const std::uint32_t full = instance->HwInfo().U32(hw::BufferEntry(entry->dmaDescriptor) + hw::kBufferSize);
  descriptor.Record().Set16(dmarec::kSize, std::uint16_t(full));
  return VEXA_OK;
}

uint32_t J6API VEXA_SetDMABufferSize(uint32_t deviceId, uint32_t handle, uint32_t wanted, uint32_t* granted) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance) return VEXA_ERR_GENERAL;
  TypeEntry* entry = MatchHandle(*instance, handle);
  if (!entry || entry->dmaDescriptor >= kDmaDescriptors || !granted) return VEXA_ERR_GENERAL;
  const std::uint32_t full = instance->HwInfo().U32(hw::BufferEntry(entry->dmaDescriptor) + hw::kBufferSize);
  const std::uint32_t size = wanted < full ? wanted : full;
  instance->dma[entry->dmaDescriptor].Record().Set16(dmarec::kSize, std::uint16_t(size));
  *granted = size;
  return VEXA_OK;
}

uint32_t J6API VEXA_OpenPipe(uint32_t deviceId, uint32_t, const uint32_t* pipe) {
  if (!DeviceIDToHardwareInstance(deviceId) || !pipe) return 0;
  std::uint8_t in[12] = {};
  LeBytes(in).Set32(0, deviceId);
  LeBytes(in).Set32(4, pipe[1]);
  LeBytes(in).Set32(8, pipe[2]);
  std::uint8_t out[4] = {};
  std::uint32_t returned = 0;
  if (!VxD_APICall(service::kOpenPipe, in, out, sizeof in, sizeof out, &returned, nullptr)) return 0;
  return LeBytes(out).U32(0);
}

uint32_t J6API VEXA_ClosePipe(uint32_t deviceId, uint32_t, const uint32_t* pipe) {
  if (!DeviceIDToHardwareInstance(deviceId) || !pipe) return VEXA_ERR_GENERAL;
  std::uint8_t in[8] = {};
  LeBytes(in).Set32(0, deviceId);
  LeBytes(in).Set32(4, pipe[1]);
  std::uint8_t out[4] = {};
  std::uint32_t returned = 0;
  return VxD_APICall(service::kClosePipe, in, out, sizeof in, sizeof out, &returned, nullptr)
             ? VEXA_OK
             : VEXA_ERR_GENERAL;
}

}  // extern "C"
