// Start and stop of the DLS engine: the General MIDI source and bank load, the sample memory layout,
// the memory manager and the reset of the engine's tables. The engine reaches its card and its process
// through DlsHost, which the hardware access layer provides (and tests fake).
#pragma once

#include <cstdint>
#include <span>

#include "basedrv/dls/engine_env.h"
#include "platform/files.h"

namespace dls {

// Offsets in the device's hardware information block that the engine reads.
namespace hwinfo {
inline constexpr std::uint32_t kSize = 136;
inline constexpr std::uint32_t kWaveStatus = 0x70;
inline constexpr std::uint32_t kDlsRamSize = 0x74;
inline constexpr std::uint32_t kGmBankSize = 0x78;
inline constexpr std::uint32_t kTableAreaSize = 0x7C;
inline constexpr std::uint32_t kSampleMemLinear = 0x80;
inline constexpr std::uint32_t kSampleMemPhys = 0x84;
}  // namespace hwinfo

// Wavetable status bits.
inline constexpr std::uint32_t kStatusGmRom = 0x00000001;
inline constexpr std::uint32_t kStatusGmBankMissing = 0x08000000;

inline constexpr std::uint32_t kMegabyte = 1024 * 1024;
inline constexpr std::uint32_t kBankReadPiece = 32000;
inline constexpr std::uint32_t kBankDrumOffsetAt = 7;  // 24-bit big-endian offset of the bank's drum table

// What the engine needs of one device instance record.
struct DlsDevice {
  std::span<std::uint8_t> hwInfo;  // the 136-byte hardware information block
  bool legacy = false;
  std::uint16_t basePort = 0;
  std::uint16_t commandPort = 0;  // VEXA_GetSystemInfo index 3
  std::uint16_t midiPort = 0;     // index 4
};

class DlsHost {
 public:
  virtual ~DlsHost() = default;
  virtual DlsEnv Env() = 0;
  virtual bool FindDevice(std::uint32_t deviceId, DlsDevice* device) = 0;
  // The per-process flag that DlsInit already ran.
  virtual bool& InitAlready() = 0;
  virtual platform::FileSystem* Files() = 0;
  virtual void DelayMs(std::uint32_t ms) = 0;
  virtual void PortOut8(std::uint16_t port, std::uint8_t value) = 0;
  // Service 0x0A with the given flag and sample memory offset (0, or 0xFFFFFFFF for none); true when sent.
  virtual bool SetDlsRamAddr(std::uint32_t deviceId, std::uint32_t flag, std::uint32_t offset) = 0;
  // Service 0x10: the device writes its ROM drum patch table at `address`.
  virtual bool GetDrumPatchRom(platform::LinearAddress address) = 0;
};

std::uint32_t DlsInit(DlsHost& host, std::uint32_t deviceId);
std::uint32_t DlsExit(DlsHost& host, std::uint32_t deviceId);

// Steps of DlsInit.
std::uint32_t LoadGmBank(DlsHost& host, const DlsDevice& device);
std::uint32_t SetupDrumPatch(DlsHost& host, const DlsDevice& device);
std::uint32_t InitPhyContigBuf(DlsHost& host, std::uint32_t deviceId, const DlsDevice& device);
std::uint32_t SendDlsTabPtrs(DlsHost& host, std::uint32_t deviceId, const DlsDevice& device);

// The file name of a General MIDI bank selector ("\j6gm1.bin" ...), or null for any other selector.
const char* GmBankFileName(std::uint8_t selector);

// The engine's state as a person reads it (j6sim card).
struct DlsEngineState {
  bool commonBlock = false;
  std::uint8_t gmBank = 0xFF;
  bool dlsEnabled = false;
  bool romBelowRam = false;
  std::uint32_t dataAreaSize = 0;
  std::uint32_t freeBytes = 0;
  std::uint32_t largestFree = 0;
  bool ramCut = false;         // status bit 25
  bool gmBankMissing = false;  // status bit 27
};
DlsEngineState GetDlsEngineState(const DlsEnv& env, std::span<const std::uint8_t> hwInfo);
const char* DescribeGmSource(std::uint8_t gmBank);
// Writes the state as "name: value" lines (NUL-terminated, cut to `size`); returns the length it needed.
std::uint32_t FormatDlsEngineState(const DlsEngineState& state, char* buffer, std::uint32_t size);

}  // namespace dls
