// The life of a card in the shared device table: VEXA_Initialize, VEXA_Exit, VEXA_Reset, and the
// millisecond delay the reset waits with.
#include "basedrv/dls_hooks.h"
#include "basedrv/hal/hal.h"

namespace j6base {

namespace {
DeviceInstance* FindRecord(std::uint32_t deviceId) {
  SharedSection* shared = Shared();
  if (!shared) return nullptr;
  for (auto& instance : shared->gVexaHWInst)
    if (instance.deviceId == deviceId) return &instance;
  return nullptr;
}
}  // namespace

// Identifier 0 marks a free record, so it never finds one: an operation on card 0 must not run on a
// free slot.
DeviceInstance* DeviceIDToHardwareInstance(std::uint32_t deviceId) {
  return deviceId == 0 ? nullptr : FindRecord(deviceId);
}

DeviceInstance* AllocateDeviceInstance(std::uint32_t) {
  return FindRecord(0);
}

void RemoveDeviceInstance(std::uint32_t deviceId) {
  SharedSection* shared = Shared();
  if (!shared) return;
  for (auto& instance : shared->gVexaHWInst)
    if (instance.deviceId == deviceId) instance.deviceId = 0;
}

void VEXA_DelayMS(std::uint32_t ms) {
  platform::Os* os = CurrentOs();
  if (!os || !os->clock) return;
  const std::uint32_t end = os->clock->TimeGetTime() + ms;
  while (os->clock->TimeGetTime() < end) {
  }
}

}  // namespace j6base

using namespace j6base;

extern "C" {

uint32_t J6API VEXA_Initialize(uint32_t hardwareKey, uint32_t* deviceId) {
  SharedSection* shared = Shared();
  // Nowhere to hand the identifier back: refuse before the card or the table is touched.
  if (!shared || !deviceId) return VEXA_ERR_GENERAL;

  std::uint8_t reply[8] = {};
  std::uint32_t returned = 0;
  if (shared->uHWInstsCnt == 0 &&
      !VxD_APICall(service::kStart, nullptr, reply, 0, sizeof reply, &returned, nullptr))
    return VEXA_ERR_INIT;

  std::uint8_t key[4] = {};
  LeBytes(key).Set32(0, hardwareKey);
  if (!VxD_APICall(service::kDeviceId, key, reply, sizeof key, sizeof reply, &returned, nullptr))
    return VEXA_ERR_INIT;
  const std::uint32_t id = LeBytes(reply).U32(0);
  if (id == 0) return VEXA_ERR_INIT;  // 0 would mark the record free again

  DeviceInstance* instance = DeviceIDToHardwareInstance(id);
  if (!instance) instance = AllocateDeviceInstance(id);
  if (!instance) return VEXA_ERR_GENERAL;

  instance->deviceId = id;
  LeBytes hw = instance->HwInfo();
  hw.Set32(hw::kSize, kHwInfoSize);
  std::uint8_t idBytes[4] = {};
  LeBytes(idBytes).Set32(0, id);
  if (!VxD_APICall(service::kHardwareInfo, idBytes, instance->hwInfo.data(), sizeof idBytes, kHwInfoSize,
                   &returned, nullptr))
    return VEXA_ERR_INIT;

  const std::uint16_t base = hw.U16(hw::kBasePort);
  instance->basePort = base;
  instance->legacyMode = (hw.U16(hw::kFlags) & hw::kFlagNative) ? 0 : 1;
  instance->indexPort = std::uint16_t(base + 4);
  instance->dataPort = std::uint16_t(base + 5);
  instance->wideIndexLowPort = std::uint16_t(base + 8);
  instance->wideIndexHighPort = std::uint16_t(base + 9);
  instance->wideDataLowPort = std::uint16_t(base + 10);
  instance->wideDataHighPort = std::uint16_t(base + 11);
  instance->portCopies = {hw.U16(hw::kPort0C), hw.U16(hw::kPort0E), hw.U16(hw::kPort10), hw.U16(hw::kPort12)};
  instance->irq = hw.U8(hw::kIrq);
  instance->byte16 = hw.U8(hw::kByte16);

  instance->refCount += 1;
  if (instance->refCount > 1) {
    *deviceId = id;
    return VEXA_OK;
  }

  instance->types[0].dmaDescriptor = 2;
  instance->types[1].dmaDescriptor = 0;
  instance->types[7].dmaDescriptor = 2;
  instance->types[8].dmaDescriptor = 1;
  instance->lockCounters = {};
  VEXA_Reset(id);
  DMA_Init(id);
  shared->uHWInstsCnt += 1;
  *deviceId = id;
  DlsInit(id);
  return VEXA_OK;
}

uint32_t J6API VEXA_Exit(uint32_t deviceId) {
  SharedSection* shared = Shared();
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!shared || !instance) return VEXA_ERR_GENERAL;
  if (instance->refCount == 0) {
    // Claimed by a refused initialisation and never counted: free it without touching the count or
    // stopping an engine that never started.
    RemoveDeviceInstance(deviceId);
    return VEXA_OK;
  }
  instance->refCount -= 1;
  if (instance->refCount != 0) return VEXA_OK;
  DlsExit(deviceId);
  DMA_Exit(deviceId);
  RemoveDeviceInstance(deviceId);
  shared->uHWInstsCnt -= 1;
  return VEXA_OK;
}

uint32_t J6API VEXA_Reset(uint32_t deviceId) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance) return VEXA_ERR_GENERAL;

  const std::uint16_t saved30 = VEXA_GetRegister(deviceId, VEXA_REG_INDEXED, 0x30);
  const std::uint16_t saved31 = VEXA_GetRegister(deviceId, VEXA_REG_INDEXED, 0x31);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x0E, 0x9F);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x0F, 0x9F);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x30, 0);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x31, 0);
  VEXA_DelayMS(100);
  VEXA_GetRegister(deviceId, VEXA_REG_DIRECT, 0);

  for (auto& type : instance->types) {
    type.handle = 0;
    type.open = 0;
    type.locked = 0;
  }
  instance->mode78 = 0;

  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 9, instance->HwInfo().U16(hw::kResetReg9));
  const std::uint16_t saved0E = VEXA_GetRegister(deviceId, VEXA_REG_INDEXED, 0x0E);
  const std::uint16_t saved0F = VEXA_GetRegister(deviceId, VEXA_REG_INDEXED, 0x0F);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x0E, 0x9F);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x0F, 0x9F);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x30, saved30);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x31, saved31);
  VEXA_DelayMS(200);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x0E, saved0E);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x0F, saved0F);
  return VEXA_OK;
}

}  // extern "C"
