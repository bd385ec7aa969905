// DlsInit and DlsExit as the hardware access layer calls them, over the calling process.
#include "basedrv/dls_hooks.h"

#include "basedrv/dls/frame/hal_dls_host.h"

namespace j6base {

dls::DlsEnv CurrentDlsEnv() {
  dls::DlsEnv env;
  ProcessContext* process = CurrentProcess();
  SharedSection* shared = Shared();
  if (!process || !shared) return env;
  env.memory = process->Os().memory;
  env.glpDls = shared->glpDls;
  env.vxd = [](std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    std::uint32_t returned = 0;
    return VxD_APICall(code, in.data(), out.data(), static_cast<std::uint32_t>(in.size()),
                       static_cast<std::uint32_t>(out.size()), &returned, nullptr) != 0;
  };
  return env;
}

dls::DlsEnv HalDlsHost::Env() {
  return CurrentDlsEnv();
}

bool HalDlsHost::FindDevice(std::uint32_t deviceId, dls::DlsDevice* device) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  if (!instance || !device) return false;
  device->hwInfo = instance->hwInfo;
  device->legacy = instance->legacyMode != 0;
  device->basePort = instance->basePort;
  device->commandPort = instance->portCopies[1];  // VEXA_GetSystemInfo index 3
  device->midiPort = instance->portCopies[2];     // index 4
  return true;
}

bool& HalDlsHost::InitAlready() {
  ProcessContext* process = CurrentProcess();
  return process ? process->bInitAlready : noProcess_;
}

platform::FileSystem* HalDlsHost::Files() {
  ProcessContext* process = CurrentProcess();
  return process ? process->Os().files : nullptr;
}

void HalDlsHost::DelayMs(std::uint32_t ms) {
  VEXA_DelayMS(ms);
}

void HalDlsHost::PortOut8(std::uint16_t port, std::uint8_t value) {
  ProcessContext* process = CurrentProcess();
  if (process && process->Os().ports) process->Os().ports->Out8(port, value);
}

bool HalDlsHost::SetDlsRamAddr(std::uint32_t deviceId, std::uint32_t flag, std::uint32_t offset) {
  return j6base::SetDlsRamAddr(DeviceIDToHardwareInstance(deviceId), flag, offset) == 0;
}

bool HalDlsHost::GetDrumPatchRom(platform::LinearAddress address) {
  return j6base::GetDrumPatchRom(0, address) == 0;
}

std::uint32_t DlsInit(std::uint32_t deviceId) {
  HalDlsHost host;
  return dls::DlsInit(host, deviceId);
}

std::uint32_t DlsExit(std::uint32_t deviceId) {
  HalDlsHost host;
  return dls::DlsExit(host, deviceId);
}

}  // namespace j6base
