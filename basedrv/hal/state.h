// The state of j6base. The loader shares one copy of SharedSection between every process that loads the
// library (the ".shared" section of J6BASE.DLL); each process has its own ProcessContext beside it. On
// the simulated PC a host program makes one SharedSection per boot and one ProcessContext per process
// that loads the library, and selects the calling process with ScopedProcess.
#pragma once

#include <array>
#include <cstdint>

#include "basedrv/hal/byte_view.h"
#include "platform/address_space.h"
#include "platform/device_io.h"
#include "platform/files.h"
#include "platform/os.h"

namespace j6base {

constexpr std::uint32_t kHwInfoSize = 136;
constexpr std::uint32_t kDmaRecordSize = 34;
constexpr std::uint32_t kDeviceTypes = 9;
constexpr std::uint32_t kDmaDescriptors = 4;
constexpr std::uint32_t kLockCounters = 5;
constexpr std::uint32_t kMaxCards = 4;
constexpr std::uint32_t kDlsCommonSize = 21564;

// Offsets in the hardware information block.
namespace hw {
constexpr std::size_t kSize = 0x00;
constexpr std::size_t kFlags = 0x04;
constexpr std::size_t kBasePort = 0x08;
constexpr std::size_t kPort0C = 0x0C;
constexpr std::size_t kPort0E = 0x0E;
constexpr std::size_t kPort10 = 0x10;
constexpr std::size_t kPort12 = 0x12;
constexpr std::size_t kIrq = 0x15;
constexpr std::size_t kByte16 = 0x16;
constexpr std::size_t kDmaChannels = 0x17;  // three bytes
constexpr std::size_t kDmaRegBases = 0x1A;  // three words
constexpr std::size_t kResetReg9 = 0x20;
constexpr std::size_t kBuffers = 0x26;  // four 18-byte entries
constexpr std::size_t kBufferEntrySize = 18;
constexpr std::size_t kBufferPhys = 0, kBufferLinear = 4, kBufferSize = 8, kBufferSelector = 12;
constexpr std::size_t kSelector6E = 0x6E;
constexpr std::size_t kWaveStatus = 0x70;
constexpr std::size_t kDlsRamSize = 0x74;
constexpr std::size_t kGmBankSize = 0x78;
constexpr std::size_t kTableAreaSize = 0x7C;
constexpr std::size_t kSampleMemLinear = 0x80;
constexpr std::size_t kSampleMemPhys = 0x84;

constexpr std::uint16_t kFlagFourthBuffer = 0x0004;
constexpr std::uint16_t kFlagNative = 0x0200;  // clear = legacy mode
constexpr std::size_t BufferEntry(std::size_t i) {
  return kBuffers + i * kBufferEntrySize;
}
}  // namespace hw
static_assert(hw::BufferEntry(3) == 0x5C && hw::kSampleMemPhys + 4 == kHwInfoSize);

// Offsets in the 34-byte DMA channel record.
namespace dmarec {
constexpr std::size_t kFarBuffer = 0x00;
constexpr std::size_t kStart = 0x04;
constexpr std::size_t kLinear = 0x08;
constexpr std::size_t kSize = 0x0C;
constexpr std::size_t kPage = 0x0E;
constexpr std::size_t kPorts = 0x10;  // 18 bytes of ports to the end
}  // namespace dmarec
static_assert(dmarec::kPorts + 18 == kDmaRecordSize);

// Offsets in the DLS common data block that the hardware access layer reads or writes.
namespace dlsblock {
constexpr std::uint32_t kDlsRamSize = 0x0008;
constexpr std::uint32_t kGmBankSize = 0x000C;
constexpr std::uint32_t kGmBankBytes = 0x3857;
constexpr std::uint32_t kRomBelowRam = 0x543B;
}  // namespace dlsblock
static_assert(dlsblock::kRomBelowRam + 1 == kDlsCommonSize);

struct TypeEntry {
  std::uint32_t handle = 0;
  std::uint32_t dmaDescriptor = 0;
  std::uint32_t open = 0;
  std::uint32_t locked = 0;
  std::uint32_t dma = 0;
};

struct DmaDescriptor {
  std::uint8_t channel = 0;
  std::uint16_t regBase = 0;
  std::uint32_t inUse = 0;
  std::array<std::uint8_t, kDmaRecordSize> record{};

  LeBytes Record() { return LeBytes(record); }
};

// One card in the shared device table. Only the hardware information block and the DMA channel record
// are exchanged as bytes; the rest is the library's own.
struct DeviceInstance {
  std::uint32_t deviceId = 0;  // 0 = free
  std::uint32_t refCount = 0;
  std::array<std::uint8_t, kHwInfoSize> hwInfo{};
  std::array<TypeEntry, kDeviceTypes> types{};
  std::uint32_t mode78 = 0;
  std::array<DmaDescriptor, kDmaDescriptors> dma{};
  std::array<std::uint32_t, kLockCounters> lockCounters{};
  std::uint32_t legacyMode = 0;
  std::uint16_t basePort = 0;
  std::array<std::uint16_t, 4> portCopies{};  // block words 0x0C, 0x0E, 0x10, 0x12
  std::uint8_t irq = 0;
  std::uint8_t byte16 = 0;
  std::uint16_t indexPort = 0;
  std::uint16_t dataPort = 0;
  std::uint16_t wideIndexLowPort = 0;
  std::uint16_t wideIndexHighPort = 0;
  std::uint16_t wideDataLowPort = 0;
  std::uint16_t wideDataHighPort = 0;
  std::uint32_t intCallback = 0;

  LeBytes HwInfo() { return LeBytes(hwInfo); }
};
static_assert(sizeof(DeviceInstance::hwInfo) == kHwInfoSize &&
              sizeof(DmaDescriptor::record) == kDmaRecordSize);

// The ".shared" section: one copy for the whole system. Everything starts as zero except the tables
// with fixed values.
struct SharedSection {
  std::array<DeviceInstance, kMaxCards> gVexaHWInst{};
  std::uint32_t uHWInstsCnt = 0;
  std::array<std::uint32_t, kDeviceTypes> fVexaAcquireFlags{1, 1, 4, 4, 2, 8, 1, 16, 16};
  std::uint32_t gbIntEnabled = 0;
  std::array<std::uint8_t, 8> gbDMABaseReg{0x00, 0x02, 0x04, 0x06, 0xC0, 0xC4, 0xC8, 0xCC};
  std::array<std::uint8_t, 8> gbDMACntReg{0x01, 0x03, 0x05, 0x07, 0xC2, 0xC6, 0xCA, 0xCE};
  std::array<std::uint8_t, 8> gbDMAPageReg{0x87, 0x83, 0x81, 0x82, 0x00, 0x8B, 0x89, 0x8A};
  platform::LinearAddress glpDls = 0;
};

// The microcode parser's per-process state: the open file, the line buffer and the token position.
struct UCodeParser {
  platform::FileHandle file = platform::kInvalidFileHandle;
  char LineBuf[128] = {};
  std::uint32_t lpToken = 0;  // offset in LineBuf after the current token
  std::uint16_t tokenValue = 0;
  // Read-ahead of the file, so lines can be read a character at a time.
  std::uint8_t readBuf[512] = {};
  std::uint32_t readPos = 0;
  std::uint32_t readLen = 0;
  bool atEnd = false;      // the file has no more bytes
  bool endOfFile = false;  // a line read found nothing
};

// What one process that loaded j6base holds of its own.
class ProcessContext {
 public:
  ProcessContext(SharedSection& shared, platform::Os& os) : shared_(shared), os_(os) {}
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;

  SharedSection& Shared() { return shared_; }
  platform::Os& Os() { return os_; }

  platform::DeviceHandle hJ6CVXD = platform::kInvalidDeviceHandle;
  UCodeParser parser;
  bool bInitAlready = false;   // DlsInit already ran in this process
  std::uint32_t randSeed = 1;  // the runtime's rand(), one sequence per process

 private:
  SharedSection& shared_;
  platform::Os& os_;
};

// The process on whose behalf the exports run, per thread; null when no process is selected.
ProcessContext* CurrentProcess();

// Selects the calling process for the lifetime of the object (nests; restores the previous one).
class ScopedProcess {
 public:
  explicit ScopedProcess(ProcessContext& process);
  ~ScopedProcess();
  ScopedProcess(const ScopedProcess&) = delete;
  ScopedProcess& operator=(const ScopedProcess&) = delete;

 private:
  ProcessContext* previous_;
};

}  // namespace j6base
