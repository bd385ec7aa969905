#include "basedrv/dls/mem_dls.h"

#include <array>
#include <cstring>

#include "basedrv/dls/records.h"

namespace dls {

namespace {

constexpr std::uint32_t kServiceSharedMemory = 0x0F;
constexpr std::uint32_t kWaveStatusOffset = 0x70;  // in the hardware information block

bool RomBelow(const CommonBlock& block) {
  return block.Get8(cdb::kBGmBank) == 0 || block.Get8(cdb::kFRomBelowRam) == 1;
}

void MakeUnused(CommonBlock& block, std::uint32_t index) {
  WriteMemBlock(block, index, {cdb::kBlockUnused, cdb::kNoOwner, 0, 0});
}

bool CallShared(const DlsEnv& env, std::uint32_t op, std::uint32_t pointer, std::uint32_t size,
                std::uint32_t* reply) {
  if (!env.vxd) return false;
  std::array<std::uint8_t, 12> in{};
  PutLe32(in, 0, op);
  PutLe32(in, 4, pointer);
  PutLe32(in, 8, size);
  std::array<std::uint8_t, 4> out{};
  if (!env.vxd(kServiceSharedMemory, in, out)) return false;
  *reply = GetLe32(out, 0);
  return true;
}

}  // namespace

MemBlockEntry ReadMemBlock(const CommonBlock& block, std::uint32_t index) {
  std::uint32_t at = CommonBlock::MemBlock(index);
  return {block.Get16(at + cdb::kBlockState), block.Get16(at + cdb::kBlockOwner),
          block.Get32(at + cdb::kBlockSizeField), block.Get32(at + cdb::kBlockOffset)};
}

void WriteMemBlock(CommonBlock& block, std::uint32_t index, const MemBlockEntry& e) {
  std::uint32_t at = CommonBlock::MemBlock(index);
  block.Set16(at + cdb::kBlockState, e.state);
  block.Set16(at + cdb::kBlockOwner, e.owner);
  block.Set32(at + cdb::kBlockSizeField, e.size);
  block.Set32(at + cdb::kBlockOffset, e.offset);
}

platform::LinearAddress CollectionRecord(const CommonBlock& block, std::uint32_t collection) {
  if (collection >= cdb::kCollectionCount) return 0;
  return block.Get32(CommonBlock::Collection(collection) + cdb::kColRecord);
}

std::uint32_t DlsDataAreaCapacity(const CommonBlock& block, bool* cut) {
  std::uint64_t size = block.Get32(cdb::kDwDataAreaSize);
  std::uint64_t base =
      block.Get32(cdb::kDwDataCardAddr) + std::uint64_t{RomBelow(block) ? card::kRomOffset : 0};
  std::uint64_t limit = base >= card::kWaveAddressSpace ? 0 : card::kWaveAddressSpace - base;
  bool wasCut = size > limit;
  if (cut) *cut = wasCut;
  return static_cast<std::uint32_t>(wasCut ? limit : size);
}

void InitDlsMemMgr(const DlsEnv& env, std::span<std::uint8_t> hwInfo) {
  CommonBlock block = env.Common();
  if (!block.Valid()) return;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    std::uint32_t at = CommonBlock::MemBlock(i);
    block.Set16(at + cdb::kBlockState, cdb::kBlockUnused);
    block.Set16(at + cdb::kBlockOwner, cdb::kNoOwner);
  }
  bool cut = false;
  std::uint32_t capacity = DlsDataAreaCapacity(block, &cut);
  WriteMemBlock(block, 0, {cdb::kBlockFree, cdb::kNoOwner, capacity, 0});
  if (cut && !hwInfo.empty())
    PutLe32(hwInfo, kWaveStatusOffset, GetLe32(hwInfo, kWaveStatusOffset) | kStatusDlsRamCut);
}

platform::LinearAddress AllocDlsBuf(const DlsEnv& env, std::uint16_t owner, std::uint32_t size,
                                    std::uint32_t* offset) {
  CommonBlock block = env.Common();
  if (!block.Valid()) return 0;
  constexpr std::uint32_t kNone = cdb::kMemBlockCount;
  std::uint32_t freeEntry = kNone, unusedEntry = kNone;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    MemBlockEntry e = ReadMemBlock(block, i);
    if (e.state == cdb::kBlockFree && e.size >= size) freeEntry = i;
    if (e.state == cdb::kBlockUnused) unusedEntry = i;
  }
  if (freeEntry == kNone || unusedEntry == kNone) return 0;

  MemBlockEntry from = ReadMemBlock(block, freeEntry);
  MemBlockEntry made = ReadMemBlock(block, unusedEntry);
  made.state = cdb::kBlockAllocated;
  made.size = size;
  made.owner = owner;
  made.offset = from.offset;
  WriteMemBlock(block, unusedEntry, made);

  from.offset += size;
  from.size -= size;
  if (from.size == 0) from.state = cdb::kBlockUnused;
  WriteMemBlock(block, freeEntry, from);

  if (offset) *offset = made.offset;
  return block.Get32(cdb::kLpDataArea) + made.offset;
}

void ReleaseDlsBufMem(const DlsEnv& env, std::uint32_t index) {
  CommonBlock block = env.Common();
  if (!block.Valid() || index >= cdb::kMemBlockCount) return;
  MemBlockEntry e = ReadMemBlock(block, index);
  // Freeing an entry that holds no block would merge stale sizes into the table.
  if (e.state != cdb::kBlockAllocated) return;
  std::uint32_t end = e.offset + e.size;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    if (i == index) continue;
    MemBlockEntry other = ReadMemBlock(block, i);
    if (other.state != cdb::kBlockFree) continue;
    if (other.offset == end) {
      e.size += other.size;
      MakeUnused(block, i);
      end = e.offset + e.size;
    } else if (other.offset + other.size == e.offset) {
      e.size += other.size;
      e.offset = other.offset;
      MakeUnused(block, i);
    }
  }
  e.state = cdb::kBlockFree;
  e.owner = cdb::kNoOwner;
  WriteMemBlock(block, index, e);
}

std::uint32_t DeallocDlsBuf(const DlsEnv& env, std::uint32_t collection) {
  CommonBlock block = env.Common();
  if (!block.Valid()) return kStatusNoBlock;
  auto record = env.Map(CollectionRecord(block, collection), colrec::kSize);
  if (record.empty()) return kStatusNoBlock;
  std::uint32_t poolOffset = GetLe32(record, colrec::kPoolOffset);
  std::uint32_t found = cdb::kMemBlockCount;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount && found == cdb::kMemBlockCount; ++i) {
    MemBlockEntry e = ReadMemBlock(block, i);
    if (e.state == cdb::kBlockAllocated && e.owner == collection && e.offset == poolOffset) found = i;
  }
  if (found != cdb::kMemBlockCount) ReleaseDlsBufMem(env, found);
  PutLe32(record, colrec::kPoolAddress, 0);
  PutLe32(record, colrec::kPoolSize, 0);
  PutLe32(record, colrec::kPoolOffset, 0);
  return found != cdb::kMemBlockCount ? 0 : kStatusNoBlock;
}

std::uint32_t GetDlsDataBufSize(const DlsEnv& env) {
  CommonBlock block = env.Common();
  std::uint32_t total = 0;
  if (!block.Valid()) return 0;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    MemBlockEntry e = ReadMemBlock(block, i);
    if (e.state == cdb::kBlockFree) total += e.size;
  }
  return total;
}

std::uint32_t GetDlsLargestBuf(const DlsEnv& env) {
  CommonBlock block = env.Common();
  std::uint32_t largest = 0;
  if (!block.Valid()) return 0;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    MemBlockEntry e = ReadMemBlock(block, i);
    if (e.state == cdb::kBlockFree && e.size > largest) largest = e.size;
  }
  return largest;
}

void SortBlocks(std::uint32_t count, MemBlockEntry* list) {
  if (!list) return;
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    std::uint32_t smallest = list[i].offset;
    std::uint32_t found = count;
    for (std::uint32_t j = i + 1; j < count; ++j) {
      if (list[j].offset < smallest) {
        smallest = list[j].offset;
        found = j;
      }
    }
    if (found != count) std::swap(list[i], list[found]);
  }
}

void AdjustStartAddr(std::span<std::uint8_t> field, std::uint32_t distance) {
  if (field.size() < 4) return;
  std::uint32_t v = FarGet4Bytes(field, 0);
  FarPut4Bytes(field, 0, (v & 0xE0000000u) | ((v - distance) & card::kAddressMask));
}

std::uint32_t ReadjustDataBuf(const DlsEnv& env, std::uint32_t collection, std::uint32_t oldOffset,
                              std::uint32_t newOffset, platform::LinearAddress newAddress,
                              std::uint32_t size) {
  CommonBlock block = env.Common();
  if (!block.Valid()) return kStatusCompactFailed;
  auto record = env.Map(CollectionRecord(block, collection), colrec::kSize);
  if (record.empty()) return kStatusCompactFailed;
  if (newOffset == oldOffset) return 0;

  // Both ends of the move must lie in the data area before anything is changed.
  platform::LinearAddress dataArea = block.Get32(cdb::kLpDataArea);
  std::uint32_t areaSize = DlsDataAreaCapacity(block);
  platform::LinearAddress poolAddress = GetLe32(record, colrec::kPoolAddress);
  auto inArea = [&](platform::LinearAddress a) {
    return a >= dataArea && std::uint64_t{a - dataArea} + size <= areaSize;
  };
  auto source = env.Map(poolAddress, size);
  auto target = env.Map(newAddress, size);
  if (size != 0 && (!inArea(poolAddress) || !inArea(newAddress) || source.empty() || target.empty()))
    return kStatusCompactFailed;

  std::uint32_t distance = oldOffset - newOffset;
  platform::LinearAddress splits = block.Get32(cdb::kLpSplitTable);
  for (std::uint32_t s = 0; s < cdb::kSplitCount; ++s) {
    if (block.Get16(CommonBlock::SplitOwner(s)) != collection) continue;
    AdjustStartAddr(env.Map(splits + card::kSplitRecordSize * s + 2, 4), distance);
  }
  platform::LinearAddress drums = block.Get32(cdb::kLpDrumInstTable);
  for (std::uint32_t d = 0; d < cdb::kDrumInstCount; ++d) {
    if (block.Get16(CommonBlock::DrumInstOwner(d)) != collection) continue;
    AdjustStartAddr(env.Map(drums + card::kDrumInstRecordSize * d, 4), distance);
  }
  // The target is never above the source; memmove copies overlapping ranges as an upward byte copy would.
  if (size != 0) std::memmove(target.data(), source.data(), size);
  PutLe32(record, colrec::kPoolAddress, newAddress);
  PutLe32(record, colrec::kPoolOffset, newOffset);
  return 0;
}

std::uint32_t CompactMemBlocks(const DlsEnv& env) {
  CommonBlock block = env.Common();
  if (!block.Valid()) return kStatusCompactFailed;
  std::array<MemBlockEntry, cdb::kMemBlockCount> list;
  std::uint32_t count = 0;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    MemBlockEntry e = ReadMemBlock(block, i);
    if (e.state == cdb::kBlockAllocated) list[count++] = e;
  }
  if (count == 0) return 0;
  // The table is rebuilt from scratch below; a block whose owner has no record could not be placed
  // again and would drop out of it, so such a table (or a pool outside the area) is refused before
  // anything moves.
  platform::LinearAddress dataArea = block.Get32(cdb::kLpDataArea);
  std::uint32_t areaSize = DlsDataAreaCapacity(block);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto record = env.Map(CollectionRecord(block, list[i].owner), colrec::kSize);
    if (record.empty()) return kStatusCompactFailed;
    platform::LinearAddress pool = GetLe32(record, colrec::kPoolAddress);
    if (list[i].size != 0 && (pool < dataArea || std::uint64_t{pool - dataArea} + list[i].size > areaSize))
      return kStatusCompactFailed;
  }

  SortBlocks(count, list.data());
  InitDlsMemMgr(env, {});
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t newOffset = 0;
    platform::LinearAddress address = AllocDlsBuf(env, list[i].owner, list[i].size, &newOffset);
    if (address == 0) return kStatusCompactFailed;
    std::uint32_t status =
        ReadjustDataBuf(env, list[i].owner, list[i].offset, newOffset, address, list[i].size);
    if (status != 0) return status;
  }
  return 0;
}

platform::LinearAddress VxD_GlobalAlloc(const DlsEnv& env, std::uint32_t size) {
  std::uint32_t pointer = 0;
  return CallShared(env, 1, 0, size, &pointer) ? pointer : 0;
}

std::uint32_t VxD_GlobalFree(const DlsEnv& env, platform::LinearAddress pointer, std::uint32_t size) {
  std::uint32_t freed = 0;
  return CallShared(env, 2, pointer, size, &freed) && freed != 0 ? 0 : 0xFFFFFFFF;
}

}  // namespace dls
