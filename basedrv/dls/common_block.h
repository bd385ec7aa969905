// The DLS common data block: 21,564 bytes, byte-packed, little-endian, allocated by the virtual device
// and shared by every process and by the synthesizer. Its layout is an interface with the virtual device,
// so every field is named here by its fixed offset and reached through CommonBlock.
#pragma once

#include <cstdint>
#include <span>

#include "basedrv/dls/byte_order.h"

namespace dls {

namespace cdb {
inline constexpr std::uint32_t kSize = 0x543C;

inline constexpr std::uint32_t kFGmRom = 0x0000;
inline constexpr std::uint32_t kFDlsEnabled = 0x0004;
inline constexpr std::uint32_t kDwDlsRamSize = 0x0008;
inline constexpr std::uint32_t kDwGmBankSize = 0x000C;
inline constexpr std::uint32_t kDwTableAreaSize = 0x0010;
inline constexpr std::uint32_t kLpSampleMem = 0x0014;
inline constexpr std::uint32_t kDwSampleMemPhys = 0x0018;
inline constexpr std::uint32_t kFLegacy = 0x001C;
inline constexpr std::uint32_t kWMidiPort = 0x0020;
inline constexpr std::uint32_t kWBasePort = 0x0022;
inline constexpr std::uint32_t kBGmBank = 0x0024;
inline constexpr std::uint32_t kDwDataCardAddr = 0x0027;
inline constexpr std::uint32_t kDwDrumInstCardAddr = 0x002B;
inline constexpr std::uint32_t kLpDataArea = 0x002F;
inline constexpr std::uint32_t kLpTableArea = 0x0033;
inline constexpr std::uint32_t kDwDataAreaSize = 0x0037;
inline constexpr std::uint32_t kDwSplitCardAddr = 0x003B;
inline constexpr std::uint32_t kLpPatchTable = 0x003F;
inline constexpr std::uint32_t kLpSplitTable = 0x0043;
inline constexpr std::uint32_t kLpDrumInstTable = 0x0047;
inline constexpr std::uint32_t kMemBlocks = 0x004B;
inline constexpr std::uint32_t kCollections = 0x0C4B;
inline constexpr std::uint32_t kFClientOpen = 0x1C4B;
inline constexpr std::uint32_t kDwClientHandle = 0x1C4F;
inline constexpr std::uint32_t kSplitOwners = 0x1C57;
inline constexpr std::uint32_t kDrumInstOwners = 0x2C57;
inline constexpr std::uint32_t kDwGmBankBytes = 0x3857;
inline constexpr std::uint32_t kDwDrumTableCardAddr = 0x385B;
inline constexpr std::uint32_t kLpDrumTable = 0x385F;
inline constexpr std::uint32_t kReserved3863 = 0x3863;
inline constexpr std::uint32_t kDrumPatchTable = 0x3867;
inline constexpr std::uint32_t kPatches = 0x3A67;
inline constexpr std::uint32_t kDrumPatches = 0x5257;
inline constexpr std::uint32_t kWCurDrumPatch = 0x53B7;
inline constexpr std::uint32_t kWChanBank = 0x53B9;
inline constexpr std::uint32_t kWChanProgram = 0x53D9;
inline constexpr std::uint32_t kWChanPatch = 0x53F9;
inline constexpr std::uint32_t kBChanAck = 0x5419;
inline constexpr std::uint32_t kBChanChange = 0x5429;
inline constexpr std::uint32_t kBReloadAck = 0x5439;
inline constexpr std::uint32_t kBReloadChange = 0x543A;
inline constexpr std::uint32_t kFRomBelowRam = 0x543B;

// Tables of the block: entry counts and sizes.
inline constexpr std::uint32_t kMemBlockCount = 256;
inline constexpr std::uint32_t kMemBlockSize = 12;
inline constexpr std::uint32_t kCollectionCount = 256;
inline constexpr std::uint32_t kCollectionEntrySize = 16;
inline constexpr std::uint32_t kSplitCount = 1024;
inline constexpr std::uint32_t kDrumInstCount = 768;
inline constexpr std::uint32_t kOwnerEntrySize = 4;
inline constexpr std::uint32_t kPatchCount = 766;
inline constexpr std::uint32_t kPatchSlotSize = 8;
inline constexpr std::uint32_t kDrumPatchCount = 32;
inline constexpr std::uint32_t kDrumPatchSlotSize = 11;
inline constexpr std::uint32_t kDrumTableEntries = 128;
inline constexpr std::uint32_t kDrumTableBytes = 512;
inline constexpr std::uint32_t kChannelCount = 16;

static_assert(kMemBlocks + kMemBlockCount * kMemBlockSize == kCollections);
static_assert(kCollections + kCollectionCount * kCollectionEntrySize == kFClientOpen);
static_assert(kSplitOwners + kSplitCount * kOwnerEntrySize == kDrumInstOwners);
static_assert(kDrumInstOwners + kDrumInstCount * kOwnerEntrySize == kDwGmBankBytes);
static_assert(kDrumPatchTable + kDrumTableBytes == kPatches);
static_assert(kPatches + kPatchCount * kPatchSlotSize == kDrumPatches);
static_assert(kDrumPatches + kDrumPatchCount * kDrumPatchSlotSize == kWCurDrumPatch);
static_assert(kFRomBelowRam + 1 == kSize);

// Memory block entry fields.
inline constexpr std::uint32_t kBlockState = 0;
inline constexpr std::uint32_t kBlockOwner = 2;
inline constexpr std::uint32_t kBlockSizeField = 4;
inline constexpr std::uint32_t kBlockOffset = 8;
enum BlockState : std::uint16_t { kBlockUnused = 0, kBlockFree = 1, kBlockAllocated = 2 };

// Collection entry fields.
inline constexpr std::uint32_t kColClient = 0;
inline constexpr std::uint32_t kColRecord = 4;
inline constexpr std::uint32_t kColParseHandle = 8;
inline constexpr std::uint32_t kColParseBuffer = 12;

// Patch slot fields.
inline constexpr std::uint32_t kPatchStable = 0;
inline constexpr std::uint32_t kPatchDrum = 1;
inline constexpr std::uint32_t kPatchOwner = 2;
inline constexpr std::uint32_t kPatchBank = 4;
inline constexpr std::uint32_t kPatchProgram = 6;

// Drum patch slot fields.
inline constexpr std::uint32_t kDrumPatchReady = 0;
inline constexpr std::uint32_t kDrumPatchOwner = 1;
inline constexpr std::uint32_t kDrumPatchBank = 3;
inline constexpr std::uint32_t kDrumPatchProgram = 5;
inline constexpr std::uint32_t kDrumPatchTablePtr = 7;

inline constexpr std::uint16_t kNoOwner = 0xFFFF;
inline constexpr std::uint32_t kNoClient = 0xFFFFFFFF;
inline constexpr std::uint8_t kNoGmBank = 0xFF;
inline constexpr std::uint32_t kNoDrumTable = 0xFFFFFFFF;
}  // namespace cdb

// Fields of the shared collection record (allocated from the virtual device).
namespace colrec {
inline constexpr std::uint32_t kSize = 3732;
inline constexpr std::uint32_t kInstrumentCount = 0;
inline constexpr std::uint32_t kInstruments = 4;
inline constexpr std::uint32_t kInstrumentSlotSize = 14;
inline constexpr std::uint32_t kInstrumentSlots = 256;
inline constexpr std::uint32_t kDrumKitCount = 3588;
inline constexpr std::uint32_t kDrumKits = 3592;
inline constexpr std::uint32_t kDrumKitSlots = 32;
inline constexpr std::uint32_t kPoolAddress = 3720;
inline constexpr std::uint32_t kPoolSize = 3724;
inline constexpr std::uint32_t kPoolOffset = 3728;
static_assert(kInstruments + kInstrumentSlots * kInstrumentSlotSize == kDrumKitCount);
static_assert(kDrumKits + kDrumKitSlots * 4 == kPoolAddress);
static_assert(kPoolOffset + 4 == kSize);
}  // namespace colrec

// A view over the block's bytes. An invalid view (no block) reads 0 and writes nothing.
class CommonBlock {
 public:
  CommonBlock() = default;
  explicit CommonBlock(std::span<std::uint8_t> bytes)
      : bytes_(bytes.size() == cdb::kSize ? bytes : decltype(bytes){}) {}

  bool Valid() const { return !bytes_.empty(); }
  std::span<std::uint8_t> Bytes() const { return bytes_; }

  std::uint8_t Get8(std::uint32_t offset) const { return GetLe8(bytes_, offset); }
  std::uint16_t Get16(std::uint32_t offset) const { return GetLe16(bytes_, offset); }
  std::uint32_t Get32(std::uint32_t offset) const { return GetLe32(bytes_, offset); }
  void Set8(std::uint32_t offset, std::uint8_t v) { PutLe8(bytes_, offset, v); }
  void Set16(std::uint32_t offset, std::uint16_t v) { PutLe16(bytes_, offset, v); }
  void Set32(std::uint32_t offset, std::uint32_t v) { PutLe32(bytes_, offset, v); }

  static constexpr std::uint32_t MemBlock(std::uint32_t i) {
    return cdb::kMemBlocks + cdb::kMemBlockSize * i;
  }
  static constexpr std::uint32_t Collection(std::uint32_t c) {
    return cdb::kCollections + cdb::kCollectionEntrySize * c;
  }
  static constexpr std::uint32_t SplitOwner(std::uint32_t s) {
    return cdb::kSplitOwners + cdb::kOwnerEntrySize * s;
  }
  static constexpr std::uint32_t DrumInstOwner(std::uint32_t d) {
    return cdb::kDrumInstOwners + cdb::kOwnerEntrySize * d;
  }
  static constexpr std::uint32_t Patch(std::uint32_t p) { return cdb::kPatches + cdb::kPatchSlotSize * p; }
  static constexpr std::uint32_t DrumPatch(std::uint32_t k) {
    return cdb::kDrumPatches + cdb::kDrumPatchSlotSize * k;
  }

 private:
  std::span<std::uint8_t> bytes_;
};

}  // namespace dls
