// System information, the driver's memory settings in the registry, and the DLS engine's service calls.
#include <cstring>

#include "basedrv/hal/hal.h"

namespace j6base {

namespace {

constexpr const char* gszRegEntry = "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";
constexpr const char* gpDlsSizeStr = "Config\\SysMemDlsRamSize";
constexpr const char* gpGMSizeStr = "Config\\SysMemGMBankSize";
constexpr const char* kDisableBurstingKey = "Config\\DisableBursting";
constexpr std::uint32_t kMaxSize = 16777216;

// The DLS common data block's bytes at `offset`, or an empty span when there is no block.
std::span<std::uint8_t> DlsField(std::uint32_t offset, std::uint32_t length) {
  SharedSection* shared = Shared();
  platform::Os* os = CurrentOs();
  if (!shared || !os || !os->memory || shared->glpDls == 0) return {};
  return os->memory->Map(shared->glpDls + offset, length);
}

std::uint32_t SetSize(const std::uint32_t* value, const char* subkey, std::uint32_t field) {
  platform::Os* os = CurrentOs();
  if (!value || !os || !os->registry) return 1;
  const std::uint32_t size = *value;
  if (size > kMaxSize) return 1;
  // Without the common block the setting could not take effect at once; refuse it whole.
  std::span<std::uint8_t> target = DlsField(field, 4);
  if (target.size() != 4) return 1;

  platform::Registry& reg = *os->registry;
  platform::HKey driver = 0;
  if (reg.OpenKey(platform::kHkeyLocalMachine, gszRegEntry, &driver) != platform::kErrorSuccess) return 1;
  platform::HKey sub = 0;
  if (reg.OpenKey(driver, subkey, &sub) != platform::kErrorSuccess &&
      reg.CreateKey(driver, subkey, &sub) != platform::kErrorSuccess) {
    reg.CloseKey(driver);
    return 1;
  }
  char text[20] = {};
  My_ltostr(text, std::int32_t(size));
  const std::uint32_t written = reg.SetDefaultValue(sub, nullptr, text);
  reg.CloseKey(sub);
  reg.CloseKey(driver);
  if (written != platform::kErrorSuccess) return 1;
  LeBytes(target).Set32(0, size);
  return 0;
}

void Put16(void* result, std::uint16_t v) {
  std::uint8_t b[2] = {};
  LeBytes(b).Set16(0, v);
  std::memcpy(result, b, sizeof b);
}
void Put32(void* result, std::uint32_t v, std::size_t word = 0) {
  std::uint8_t b[4] = {};
  LeBytes(b).Set32(0, v);
  std::memcpy(static_cast<std::uint8_t*>(result) + 4 * word, b, sizeof b);
}

}  // namespace

char* My_ltostr(char* buffer, std::int32_t number) {
  std::uint32_t magnitude = number < 0 ? 0u - std::uint32_t(number) : std::uint32_t(number);
  char digits[12] = {};
  int n = 0;
  do {
    digits[n++] = char('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (int i = 0; i < n; ++i) buffer[i] = digits[n - 1 - i];
  buffer[n] = 0;
  return buffer;
}

std::uint32_t DlsSetRamSize(const std::uint32_t* size) {
  return SetSize(size, gpDlsSizeStr, dlsblock::kDlsRamSize);
}
std::uint32_t SetGMBankSize(const std::uint32_t* size) {
  return SetSize(size, gpGMSizeStr, dlsblock::kGmBankSize);
}

std::uint32_t DisableBursting(DeviceInstance*, const std::uint32_t* on) {
  platform::Os* os = CurrentOs();
  if (!on || !os || !os->registry) return 1;
  platform::Registry& reg = *os->registry;
  platform::HKey driver = 0;
  if (reg.OpenKey(platform::kHkeyLocalMachine, gszRegEntry, &driver) != platform::kErrorSuccess) return 1;
  std::uint32_t status = 0;
  if (*on == 1) {
    platform::HKey sub = 0;
    if (reg.OpenKey(driver, kDisableBurstingKey, &sub) == platform::kErrorSuccess ||
        reg.CreateKey(driver, kDisableBurstingKey, &sub) == platform::kErrorSuccess)
      reg.CloseKey(sub);
    else
      status = 1;
  } else {
    reg.DeleteKey(driver, kDisableBurstingKey);
  }
  reg.CloseKey(driver);
  return status;
}

std::uint32_t SetDlsRamAddr(DeviceInstance* instance, std::uint32_t flag, std::uint32_t offset) {
  if (!instance) return 1;
  LeBytes hw = instance->HwInfo();
  std::uint32_t address = offset;
  if (instance->legacyMode)
    address = 0xFFFFFFFF;
  else if (offset != 0xFFFFFFFF && offset != 0xFFFFFFFE)
    address = offset + hw.U32(hw::kSampleMemPhys);
  std::uint8_t in[12] = {};
  LeBytes(in).Set32(0, hw.U16(hw::kBasePort));
  LeBytes(in).Set32(4, address);
  LeBytes(in).Set32(8, flag);
  std::uint32_t returned = 0;
  return VxD_APICall(service::kDlsRamAddr, in, nullptr, sizeof in, 0, &returned, nullptr) ? 0 : 1;
}

std::uint32_t GetDrumPatchRom(std::uint32_t, platform::LinearAddress address) {
  std::uint8_t in[4] = {};
  LeBytes(in).Set32(0, address);
  std::uint32_t returned = 0;
  return VxD_APICall(service::kDrumPatchRom, in, nullptr, sizeof in, 0, &returned, nullptr) ? 0 : 1;
}

}  // namespace j6base

using namespace j6base;

extern "C" {

uint32_t J6API VEXA_GetSystemInfo(uint32_t deviceId, uint32_t index, void* result) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  SharedSection* shared = Shared();
  if (!instance || !shared || !result) return VEXA_ERR_GENERAL;
  LeBytes hw = instance->HwInfo();
  auto* out8 = static_cast<std::uint8_t*>(result);
  switch (index) {
    case 0:
      Put16(result, instance->basePort);
      break;
    case 1:
      Put16(result, instance->indexPort);
      break;
    case 2:
    case 3:
    case 4:
    case 5:
      Put16(result, instance->portCopies[index - 2]);
      break;
    case 6:
      *out8 = instance->irq;
      break;
    case 7:
      *out8 = instance->byte16;
      break;
    case 8:
      Put32(result, instance->legacyMode);
      break;
    case 9:
    case 10:
    case 11:
      *out8 = hw.U8(hw::kDmaChannels + (index - 9));
      break;
    case 12:
      if (hw.U16(hw::kFlags) & hw::kFlagFourthBuffer) {
        const std::size_t entry = hw::BufferEntry(3);
        Put32(result, 1, 0);
        Put32(result, std::uint32_t(hw.U16(entry + hw::kBufferSelector)) << 16, 1);
        Put32(result, hw.U32(entry + hw::kBufferPhys), 2);
        Put32(result, hw.U32(entry + hw::kBufferLinear), 3);
        Put32(result, hw.U32(entry + hw::kBufferSize), 4);
      } else {
        Put32(result, 0);
      }
      break;
    case 13:
      Put32(result, hw.U32(hw::kWaveStatus) & 1);
      break;
    case 14:
    case 15: {
      // These come from the DLS common block; without it there is no answer to give.
      std::span<std::uint8_t> field =
          DlsField(index == 14 ? dlsblock::kDlsRamSize : dlsblock::kGmBankSize, 4);
      if (field.size() != 4) return VEXA_ERR_GENERAL;
      Put32(result, LeBytes(field).U32(0));
      break;
    }
    case 16:
      Put32(result, hw.U32(hw::kWaveStatus) >> 24);
      break;
    case 17:
      Put32(result, hw.U32(hw::kSampleMemLinear));
      break;
    case 20:
      if (shared->glpDls == 0) return VEXA_ERR_GENERAL;
      Put32(result, shared->glpDls + dlsblock::kGmBankBytes);
      break;
    case 24:
      Put32(result, std::uint32_t(hw.U16(hw::kSelector6E)) << 16);
      break;
    default:
      break;
  }
  return VEXA_OK;
}

uint32_t J6API VEXA_SetSystemAttrib(uint32_t deviceId, uint32_t index, const uint32_t* value) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance) return VEXA_ERR_GENERAL;
  switch (index) {
    case 14:
      return DlsSetRamSize(value);
    case 15:
      return SetGMBankSize(value);
    case 19:
      // Nothing to read the switch from: refuse rather than report a setting that was never made.
      if (!value) return VEXA_ERR_GENERAL;
      DisableBursting(instance, value);
      return VEXA_OK;
  }
  return VEXA_ERR_CONFLICT;
}

}  // extern "C"
