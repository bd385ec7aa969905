// What the hardware access layer offers the rest of j6base (the DLS engine and the thunk entry points).
// Everything works on the calling process's context (CurrentProcess); with no process selected the
// functions refuse (status 1, request failed, nothing found).
#pragma once

#include <cstdint>

#include "basedrv/hal/state.h"
#include "basedrv/j6base.h"

namespace j6base {

// DllMain reasons.
constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;
constexpr std::uint32_t kThreadAttach = 2;
constexpr std::uint32_t kThreadDetach = 3;

// The library entry for the calling process: returns 1 to let the load go on.
std::uint32_t LibMain(std::uintptr_t instance, std::uint32_t reason, void* reserved);

// Loads j6base into a process for as long as the object lives: selects it, runs the process attach,
// and at the end the process detach.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(ProcessContext& process, std::uintptr_t instance = 0x10000000);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  bool Loaded() const { return loaded_; }

 private:
  ProcessContext& process_;
  std::uintptr_t instance_;
  bool loaded_ = false;
};

// The shared section and the platform of the calling process (null when none is selected).
SharedSection* Shared();
platform::Os* CurrentOs();

// The device instance record of an identifier, or null.
DeviceInstance* DeviceIDToHardwareInstance(std::uint32_t deviceId);
DeviceInstance* AllocateDeviceInstance(std::uint32_t deviceId);
void RemoveDeviceInstance(std::uint32_t deviceId);

// Busy wait on the multimedia timer.
void VEXA_DelayMS(std::uint32_t ms);

// One request to the virtual device through the calling process's handle: 1 on success, else 0.
std::uint32_t VxD_APICall(std::uint32_t code, const void* in, void* out, std::uint32_t inSize,
                          std::uint32_t outSize, std::uint32_t* returned, void* overlapped);
bool VxD_Open();
void VxD_Close();
void DlsGetCommonData();

// Virtual device service codes.
namespace service {
constexpr std::uint32_t kStart = 0x01;
constexpr std::uint32_t kHardwareInfo = 0x02;
constexpr std::uint32_t kAcquire = 0x03;
constexpr std::uint32_t kRelease = 0x04;
constexpr std::uint32_t kInterrupt = 0x05;
constexpr std::uint32_t kDeviceId = 0x06;
constexpr std::uint32_t kCallback = 0x07;
constexpr std::uint32_t kDlsRamAddr = 0x0A;
constexpr std::uint32_t kCommonData = 0x0C;
constexpr std::uint32_t kSharedMemory = 0x0F;
constexpr std::uint32_t kDrumPatchRom = 0x10;
constexpr std::uint32_t kOpenPipe = 0x100;
constexpr std::uint32_t kClosePipe = 0x101;
}  // namespace service

// DMA set-up and interrupt hook.
std::uint32_t DMA_Init(std::uint32_t deviceId);
std::uint32_t DMA_Exit(std::uint32_t deviceId);
std::uint32_t VEXA_HookInterrupt();
std::uint32_t VEXA_UnhookInterrupt();
std::uint32_t DisableInterrupt();

// Settings and the DLS engine's service calls.
std::uint32_t DlsSetRamSize(const std::uint32_t* size);
std::uint32_t SetGMBankSize(const std::uint32_t* size);
std::uint32_t DisableBursting(DeviceInstance* instance, const std::uint32_t* on);
char* My_ltostr(char* buffer, std::int32_t number);
std::uint32_t SetDlsRamAddr(DeviceInstance* instance, std::uint32_t flag, std::uint32_t offset);
std::uint32_t GetDrumPatchRom(std::uint32_t unused, platform::LinearAddress address);

// The microcode parser (exposed for its tests).
std::uint32_t GetNextToken(ProcessContext& process, std::uint16_t* value);
std::uint32_t read_segment_data(ProcessContext& process, std::uint8_t* buffer, std::uint32_t count);

// VEXA_WriteMemoryBlock of `words` little-endian words taken from a byte buffer.
void WriteMemoryBytes(std::uint32_t deviceId, std::uint32_t memory, std::uint16_t address,
                      const std::uint8_t* bytes, std::uint16_t words);

// Memory transfers give up after this many polls of a busy bit that never clears.
constexpr std::uint32_t kMaxBusyPolls = 0x10000;

}  // namespace j6base
