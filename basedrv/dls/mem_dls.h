// The sample memory manager: one block of the DLS data area per loaded collection (its wave pool), kept
// in the 256-entry block table of the common data block, plus the virtual device's shared memory for
// the engine's small shared records.
#pragma once

#include <cstdint>
#include <span>

#include "basedrv/dls/engine_env.h"

namespace dls {

// The data area never grows past this when the General MIDI bank is in ROM.
inline constexpr std::uint32_t kRomDataAreaCap = 12u * 1024 * 1024;
// Wavetable status bit: the DLS RAM size was cut.
inline constexpr std::uint32_t kStatusDlsRamCut = 0x02000000;
// Status of a compaction that could not place a block again.
inline constexpr std::uint32_t kStatusCompactFailed = 7;
inline constexpr std::uint32_t kStatusNoBlock = 2;

struct MemBlockEntry {
  std::uint16_t state = 0;
  std::uint16_t owner = cdb::kNoOwner;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

MemBlockEntry ReadMemBlock(const CommonBlock& block, std::uint32_t index);
void WriteMemBlock(CommonBlock& block, std::uint32_t index, const MemBlockEntry& entry);

// The size the data area is managed at: the configured size, cut so that no card address of the area
// passes the card's 16 MB wave address space (with the ROM below the RAM that is at most 12 MB).
std::uint32_t DlsDataAreaCapacity(const CommonBlock& block, bool* cut = nullptr);

// Makes the whole area one free block. `hwInfo` (the device's hardware information block, may be empty)
// gets the cut bit in its wavetable status flags.
void InitDlsMemMgr(const DlsEnv& env, std::span<std::uint8_t> hwInfo);
platform::LinearAddress AllocDlsBuf(const DlsEnv& env, std::uint16_t owner, std::uint32_t size,
                                    std::uint32_t* offset);
std::uint32_t DeallocDlsBuf(const DlsEnv& env, std::uint32_t collection);
void ReleaseDlsBufMem(const DlsEnv& env, std::uint32_t entry);
std::uint32_t GetDlsDataBufSize(const DlsEnv& env);
std::uint32_t GetDlsLargestBuf(const DlsEnv& env);
std::uint32_t CompactMemBlocks(const DlsEnv& env);
void SortBlocks(std::uint32_t count, MemBlockEntry* list);
std::uint32_t ReadjustDataBuf(const DlsEnv& env, std::uint32_t collection, std::uint32_t oldOffset,
                              std::uint32_t newOffset, platform::LinearAddress newAddress,
                              std::uint32_t size);
// Lowers the address field (low 29 bits) of a big-endian sample record word by `distance`.
void AdjustStartAddr(std::span<std::uint8_t> field, std::uint32_t distance);

// Shared memory of the virtual device (service 0x0F).
platform::LinearAddress VxD_GlobalAlloc(const DlsEnv& env, std::uint32_t size);
std::uint32_t VxD_GlobalFree(const DlsEnv& env, platform::LinearAddress pointer, std::uint32_t size);

// The collection record of a collection entry (0 when there is none).
platform::LinearAddress CollectionRecord(const CommonBlock& block, std::uint32_t collection);

}  // namespace dls
