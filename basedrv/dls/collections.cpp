#include "basedrv/dls/collections.h"

#include <algorithm>
#include <cstring>

#include "basedrv/dls/convert.h"
#include "basedrv/dls/ldr_dls.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/dls/records.h"

namespace dls {

namespace {

constexpr std::uint32_t kChannel10 = 9;

// The toggle handshake: a signal is raised only when the previous one was acknowledged.
void Toggle(CommonBlock& block, std::uint32_t channel) {
  std::uint8_t change = block.Get8(cdb::kBChanChange + channel);
  if (change == block.Get8(cdb::kBChanAck + channel))
    block.Set8(cdb::kBChanChange + channel, change == 0 ? 1 : 0);
}

std::span<std::uint8_t> RecordOf(const DlsEnv& env, const CommonBlock& block, std::uint32_t collection) {
  return env.Map(CollectionRecord(block, collection), colrec::kSize);
}

void FreeKit(const DlsEnv& env, std::span<std::uint8_t> rec, std::uint32_t k) {
  platform::LinearAddress kitAddress = GetLe32(rec, colrec::kDrumKits + 4 * k);
  if (kitAddress != 0) VxD_GlobalFree(env, kitAddress, kit::kSize);
  PutLe32(rec, colrec::kDrumKits + 4 * k, 0);
}

std::uint32_t KitCount(std::span<const std::uint8_t> rec) {
  return std::min(GetLe32(rec, colrec::kDrumKitCount), colrec::kDrumKitSlots);
}

std::uint32_t InstrumentCount(std::span<const std::uint8_t> rec) {
  return std::min(GetLe32(rec, colrec::kInstrumentCount), colrec::kInstrumentSlots);
}

}  // namespace

std::uint16_t AcquireCollectionEntry(const DlsEnv& env, std::uint32_t client) {
  CommonBlock block = env.Common();
  if (!block.Valid()) return kNoSlot;
  for (std::uint32_t c = 0; c < cdb::kCollectionCount; ++c) {
    std::uint32_t at = CommonBlock::Collection(c);
    if (block.Get32(at + cdb::kColClient) != cdb::kNoClient) continue;
    platform::LinearAddress address = VxD_GlobalAlloc(env, colrec::kSize);
    auto rec = env.Map(address, colrec::kSize);
    if (rec.empty()) return kNoSlot;
    std::fill(rec.begin(), rec.end(), std::uint8_t{0});
    for (std::uint32_t i = 0; i < colrec::kInstrumentSlots; ++i) {
      PutLe16(rec, insslot::At(i) + insslot::kDrumKit, kNoSlot);
      PutLe16(rec, insslot::At(i) + insslot::kPatch, kNoSlot);
      PutLe16(rec, insslot::At(i) + insslot::kFirstSplit, kNoSlot);
    }
    block.Set32(at + cdb::kColRecord, address);
    block.Set32(at + cdb::kColParseHandle, 0);
    block.Set32(at + cdb::kColParseBuffer, 0);
    block.Set32(at + cdb::kColClient, client);
    return static_cast<std::uint16_t>(c);
  }
  return kNoSlot;
}

std::uint32_t ReleaseCollectionEntry(const DlsEnv& env, std::uint32_t client, std::uint32_t collection) {
  CommonBlock block = env.Common();
  if (!block.Valid() || collection >= cdb::kCollectionCount) return kStatusNotClient;
  std::uint32_t at = CommonBlock::Collection(collection);
  if (block.Get32(at + cdb::kColParseBuffer) != 0 && env.memory) {
    env.memory->GlobalFree(block.Get32(at + cdb::kColParseBuffer));
    block.Set32(at + cdb::kColParseHandle, 0);
    block.Set32(at + cdb::kColParseBuffer, 0);
  }
  if (block.Get32(at + cdb::kColClient) != client && client != kWildcardClient) return kStatusNotClient;
  platform::LinearAddress address = block.Get32(at + cdb::kColRecord);
  auto rec = env.Map(address, colrec::kSize);
  if (!rec.empty()) {
    for (std::uint32_t k = 0; k < KitCount(rec); ++k) FreeKit(env, rec, k);
    VxD_GlobalFree(env, address, colrec::kSize);
  }
  // No pointer to freed memory stays behind.
  block.Set32(at + cdb::kColRecord, 0);
  block.Set32(at + cdb::kColClient, cdb::kNoClient);
  return 0;
}

std::uint16_t AcquirePatch(const DlsEnv& env, std::uint16_t owner, std::uint8_t drum, std::uint16_t bank,
                           std::uint16_t program) {
  CommonBlock block = env.Common();
  for (std::uint32_t p = 0; p < cdb::kPatchCount && block.Valid(); ++p) {
    std::uint32_t at = CommonBlock::Patch(p);
    if (block.Get16(at + cdb::kPatchOwner) != cdb::kNoOwner) continue;
    block.Set8(at + cdb::kPatchStable, 0);
    block.Set16(at + cdb::kPatchOwner, owner);
    block.Set8(at + cdb::kPatchDrum, drum);
    block.Set16(at + cdb::kPatchBank, bank);
    block.Set16(at + cdb::kPatchProgram, program);
    block.Set8(at + cdb::kPatchStable, 1);
    return static_cast<std::uint16_t>(p);
  }
  return kNoSlot;
}

std::uint16_t SearchPatch(const DlsEnv& env, std::uint8_t drum, std::uint16_t bank, std::uint16_t program) {
  CommonBlock block = env.Common();
  for (std::uint32_t p = 0; p < cdb::kPatchCount && block.Valid(); ++p) {
    std::uint32_t at = CommonBlock::Patch(p);
    if (block.Get16(at + cdb::kPatchOwner) != cdb::kNoOwner && block.Get8(at + cdb::kPatchStable) != 0 &&
        block.Get8(at + cdb::kPatchDrum) == drum && block.Get16(at + cdb::kPatchBank) == bank &&
        block.Get16(at + cdb::kPatchProgram) == program)
      return static_cast<std::uint16_t>(p);
  }
  return kNoSlot;
}

std::uint32_t ReleasePatch(const DlsEnv& env, std::uint16_t owner, std::uint32_t slot) {
  CommonBlock block = env.Common();
  if (!block.Valid() || slot >= cdb::kPatchCount) return kStatusBadArgument;
  std::uint32_t at = CommonBlock::Patch(slot);
  if (block.Get16(at + cdb::kPatchOwner) != owner) return kStatusBadArgument;
  if (block.Get8(at + cdb::kPatchDrum) == 0)
    SignalChannels(env, block.Get16(at + cdb::kPatchBank), block.Get16(at + cdb::kPatchProgram));
  block.Set8(at + cdb::kPatchStable, 0);
  block.Set16(at + cdb::kPatchOwner, cdb::kNoOwner);
  block.Set16(at + cdb::kPatchBank, 0xFFFF);
  block.Set16(at + cdb::kPatchProgram, 0xFFFF);
  block.Set8(at + cdb::kPatchStable, 1);
  InitPatchParam(env, slot);
  return 0;
}

std::uint16_t AcquireSplit(const DlsEnv& env, std::uint16_t owner, std::uint32_t count) {
  CommonBlock block = env.Common();
  if (!block.Valid() || count > cdb::kSplitCount) return kNoSlot;
  for (std::uint32_t start = 0; start + count <= cdb::kSplitCount; ++start) {
    std::uint32_t s = 0;
    while (s < count && block.Get16(CommonBlock::SplitOwner(start + s)) == cdb::kNoOwner) ++s;
    if (s < count) continue;
    for (s = 0; s < count; ++s) block.Set16(CommonBlock::SplitOwner(start + s), owner);
    return static_cast<std::uint16_t>(start);
  }
  return kNoSlot;
}

std::uint32_t ReleaseSplit(const DlsEnv& env, std::uint16_t, std::uint32_t first, std::uint32_t count) {
  CommonBlock block = env.Common();
  for (std::uint32_t s = first; s < first + count && s < cdb::kSplitCount && block.Valid(); ++s)
    block.Set16(CommonBlock::SplitOwner(s), cdb::kNoOwner);
  return 0;
}

std::uint16_t AcquireDrumInstrument(const DlsEnv& env, std::uint16_t owner, std::uint16_t kitNumber) {
  CommonBlock block = env.Common();
  for (std::uint32_t d = 0; d < cdb::kDrumInstCount && block.Valid(); ++d) {
    std::uint32_t at = CommonBlock::DrumInstOwner(d);
    if (block.Get16(at) != cdb::kNoOwner) continue;
    block.Set16(at, owner);
    block.Set16(at + 2, kitNumber);
    return static_cast<std::uint16_t>(d);
  }
  return kNoSlot;
}

std::uint32_t ReleaseDrumInstr(const DlsEnv& env, std::uint16_t owner, std::uint32_t slot) {
  CommonBlock block = env.Common();
  if (!block.Valid() || slot >= cdb::kDrumInstCount || block.Get16(CommonBlock::DrumInstOwner(slot)) != owner)
    return kStatusBadArgument;
  block.Set16(CommonBlock::DrumInstOwner(slot), cdb::kNoOwner);
  return 0;
}

std::uint16_t AcquireDrumPatch(const DlsEnv& env, std::uint16_t owner, std::uint16_t bank,
                               std::uint16_t program) {
  CommonBlock block = env.Common();
  for (std::uint32_t d = 0; d < cdb::kDrumPatchCount && block.Valid(); ++d) {
    std::uint32_t at = CommonBlock::DrumPatch(d);
    if (block.Get16(at + cdb::kDrumPatchOwner) != cdb::kNoOwner) continue;
    block.Set8(at + cdb::kDrumPatchReady, 0);
    platform::LinearAddress table = VxD_GlobalAlloc(env, cdb::kDrumTableBytes);
    auto bytes = env.Map(table, cdb::kDrumTableBytes);
    if (bytes.empty()) {
      block.Set8(at + cdb::kDrumPatchReady, 1);
      return kNoSlot;
    }
    // A DLS kit starts as the General MIDI kit in force; only its own keys are replaced.
    std::memcpy(bytes.data(), block.Bytes().data() + cdb::kDrumPatchTable, cdb::kDrumTableBytes);
    block.Set32(at + cdb::kDrumPatchTablePtr, table);
    block.Set16(at + cdb::kDrumPatchOwner, owner);
    block.Set16(at + cdb::kDrumPatchBank, bank);
    block.Set16(at + cdb::kDrumPatchProgram, program);
    block.Set8(at + cdb::kDrumPatchReady, 1);
    return static_cast<std::uint16_t>(d);
  }
  return kNoSlot;
}

std::uint16_t SearchDrumPatch(const DlsEnv& env, std::uint16_t bank, std::uint16_t program) {
  CommonBlock block = env.Common();
  for (std::uint32_t d = 0; d < cdb::kDrumPatchCount && block.Valid(); ++d) {
    std::uint32_t at = CommonBlock::DrumPatch(d);
    if (block.Get16(at + cdb::kDrumPatchOwner) != cdb::kNoOwner &&
        block.Get8(at + cdb::kDrumPatchReady) != 0 && block.Get16(at + cdb::kDrumPatchBank) == bank &&
        block.Get16(at + cdb::kDrumPatchProgram) == program)
      return static_cast<std::uint16_t>(d);
  }
  return kNoSlot;
}

void SignalChannels(const DlsEnv& env, std::uint16_t bank, std::uint16_t program) {
  CommonBlock block = env.Common();
  for (std::uint32_t c = 0; c < cdb::kChannelCount && block.Valid(); ++c) {
    if (c == kChannel10) continue;
    if (block.Get16(cdb::kWChanBank + 2 * c) == bank && block.Get16(cdb::kWChanProgram + 2 * c) == program)
      Toggle(block, c);
  }
}

void FlipPercussionFlag(const DlsEnv& env, platform::LinearAddress kitRecord) {
  CommonBlock block = env.Common();
  auto k = env.Map(kitRecord, kit::kSize);
  if (!block.Valid() || k.empty()) return;
  std::uint32_t bank = GetLe32(k, kit::kBank), program = GetLe32(k, kit::kProgram);
  std::uint16_t current = block.Get16(cdb::kWCurDrumPatch);
  bool signal;
  if (current == 0xFFFF) {
    signal = bank == 0 && program == 0;
  } else {
    std::uint32_t at = CommonBlock::DrumPatch(current);
    signal = current < cdb::kDrumPatchCount && block.Get16(at + cdb::kDrumPatchOwner) != cdb::kNoOwner &&
             block.Get8(at + cdb::kDrumPatchReady) != 0 && block.Get16(at + cdb::kDrumPatchBank) == bank &&
             block.Get16(at + cdb::kDrumPatchProgram) == program;
  }
  if (signal)
    block.Set8(cdb::kBChanChange + kChannel10, block.Get8(cdb::kBChanAck + kChannel10) == 0 ? 1 : 0);
}

std::uint32_t UnloadDrumPatch(const DlsEnv& env, std::uint32_t slot) {
  CommonBlock block = env.Common();
  if (!block.Valid() || slot >= cdb::kDrumPatchCount) return 0;
  std::uint32_t at = CommonBlock::DrumPatch(slot);
  std::uint16_t owner = block.Get16(at + cdb::kDrumPatchOwner);
  std::uint16_t bank = block.Get16(at + cdb::kDrumPatchBank),
                program = block.Get16(at + cdb::kDrumPatchProgram);
  if (owner < cdb::kCollectionCount &&
      block.Get32(CommonBlock::Collection(owner) + cdb::kColClient) != cdb::kNoClient) {
    auto rec = RecordOf(env, block, owner);
    for (std::uint32_t k = 0; !rec.empty() && k < KitCount(rec); ++k) {
      platform::LinearAddress kitAddress = GetLe32(rec, colrec::kDrumKits + 4 * k);
      auto kitRec = env.Map(kitAddress, kit::kSize);
      if (kitRec.empty() || GetLe32(kitRec, kit::kBank) != bank || GetLe32(kitRec, kit::kProgram) != program)
        continue;
      for (std::uint32_t e = 0; e < 128; ++e) {
        std::uint16_t patch = GetLe16(kitRec, kit::Entry(e) + kit::kEntryPatch);
        std::uint16_t inst = GetLe16(kitRec, kit::Entry(e) + kit::kEntryDrumInst);
        if (patch != kNoSlot) ReleasePatch(env, owner, patch);
        if (inst != kNoSlot) ReleaseDrumInstr(env, owner, inst);
        PutLe16(kitRec, kit::Entry(e) + kit::kEntryPatch, kNoSlot);
        PutLe16(kitRec, kit::Entry(e) + kit::kEntryDrumInst, kNoSlot);
      }
      PutLe32(kitRec, kit::kRegionCount, 0);
      PutLe16(kitRec, kit::kDrumPatch, kNoSlot);
      FlipPercussionFlag(env, kitAddress);
      FreeKit(env, rec, k);
      break;
    }
  }
  if (block.Get16(cdb::kWCurDrumPatch) == slot) block.Set16(cdb::kWCurDrumPatch, 0xFFFF);
  platform::LinearAddress table = block.Get32(at + cdb::kDrumPatchTablePtr);
  if (table != 0) {
    VxD_GlobalFree(env, table, cdb::kDrumTableBytes);
    block.Set32(at + cdb::kDrumPatchTablePtr, 0);
    block.Set16(at + cdb::kDrumPatchOwner, cdb::kNoOwner);
  }
  block.Set8(at + cdb::kDrumPatchReady, 1);
  return 0;
}

void ClearResourceIndex(const DlsEnv& env, std::uint32_t collection) {
  CommonBlock block = env.Common();
  auto rec = RecordOf(env, block, collection);
  if (rec.empty()) return;
  for (std::uint32_t i = 0; i < colrec::kInstrumentSlots; ++i) {
    if (GetLe32(rec, insslot::At(i) + insslot::kDrumFlag) != 0) continue;
    PutLe16(rec, insslot::At(i) + insslot::kPatch, kNoSlot);
    PutLe16(rec, insslot::At(i) + insslot::kFirstSplit, kNoSlot);
  }
  for (std::uint32_t k = 0; k < KitCount(rec); ++k) {
    auto kitRec = env.Map(GetLe32(rec, colrec::kDrumKits + 4 * k), kit::kSize);
    for (std::uint32_t e = 0; !kitRec.empty() && e < 128; ++e) PutLe32(kitRec, kit::Entry(e), 0xFFFFFFFF);
  }
}

void ReleaseDLSFile(const DlsEnv& env, std::uint32_t collection) {
  CommonBlock block = env.Common();
  auto rec = RecordOf(env, block, collection);
  if (rec.empty()) return;
  const auto owner = static_cast<std::uint16_t>(collection);
  for (std::uint32_t i = 0; i < colrec::kInstrumentSlots; ++i) {
    std::uint32_t slot = insslot::At(i);
    if (GetLe32(rec, slot + insslot::kDrumFlag) == 0) {
      std::uint16_t patch = GetLe16(rec, slot + insslot::kPatch);
      std::uint16_t split = GetLe16(rec, slot + insslot::kFirstSplit);
      if (patch != kNoSlot) ReleasePatch(env, owner, patch);
      if (split != kNoSlot) ReleaseSplit(env, owner, split, GetLe32(rec, slot + insslot::kRegionCount));
      PutLe16(rec, slot + insslot::kPatch, kNoSlot);
      PutLe16(rec, slot + insslot::kFirstSplit, kNoSlot);
    }
    PutLe32(rec, slot + insslot::kRegionCount, 0);
  }
  PutLe32(rec, colrec::kInstrumentCount, 0);
  for (std::uint32_t k = 0; k < KitCount(rec); ++k) {
    platform::LinearAddress kitAddress = GetLe32(rec, colrec::kDrumKits + 4 * k);
    auto kitRec = env.Map(kitAddress, kit::kSize);
    if (!kitRec.empty()) {
      std::uint16_t drumPatch = GetLe16(kitRec, kit::kDrumPatch);
      if (drumPatch != kNoSlot) {
        FlipPercussionFlag(env, kitAddress);
        UnloadDrumPatch(env, drumPatch);
      }
    }
    // A kit whose drum patch slot went to another collection is freed here all the same.
    if (GetLe32(rec, colrec::kDrumKits + 4 * k) != 0) FreeKit(env, rec, k);
  }
  PutLe32(rec, colrec::kDrumKitCount, 0);
}

std::uint32_t DLSUnloadPatch(const DlsEnv& env, std::uint32_t client, std::uint32_t collection,
                             std::uint32_t patch) {
  CommonBlock block = env.Common();
  auto rec = RecordOf(env, block, collection);
  if (rec.empty()) return kStatusBadArgument;
  const auto owner = static_cast<std::uint16_t>(collection);
  for (std::uint32_t i = 0; i < InstrumentCount(rec); ++i) {
    std::uint32_t slot = insslot::At(i);
    if (GetLe16(rec, slot + insslot::kPatch) != patch) continue;
    ReleasePatch(env, owner, patch);
    std::uint16_t split = GetLe16(rec, slot + insslot::kFirstSplit);
    if (split != kNoSlot) ReleaseSplit(env, owner, split, GetLe32(rec, slot + insslot::kRegionCount));
    PutLe16(rec, slot + insslot::kPatch, kNoSlot);
    PutLe16(rec, slot + insslot::kFirstSplit, kNoSlot);
    PutLe32(rec, slot + insslot::kRegionCount, 0);
    if (client != block.Get32(cdb::kDwClientHandle)) ClearEmptyCol(env, client, collection);
    return 0;
  }
  return kStatusBadArgument;
}

void ClearEmptyCol(const DlsEnv& env, std::uint32_t client, std::uint32_t collection) {
  CommonBlock block = env.Common();
  auto rec = RecordOf(env, block, collection);
  if (rec.empty()) return;
  for (std::uint32_t i = 0; i < colrec::kInstrumentSlots; ++i) {
    std::uint32_t slot = insslot::At(i);
    if (GetLe32(rec, slot + insslot::kDrumFlag) == 0 && GetLe16(rec, slot + insslot::kPatch) != kNoSlot)
      return;
  }
  for (std::uint32_t k = 0; k < KitCount(rec); ++k) {
    auto kitRec = env.Map(GetLe32(rec, colrec::kDrumKits + 4 * k), kit::kSize);
    for (std::uint32_t e = 0; !kitRec.empty() && e < 128; ++e)
      if (GetLe16(kitRec, kit::Entry(e) + kit::kEntryPatch) != kNoSlot ||
          GetLe16(kitRec, kit::Entry(e) + kit::kEntryDrumInst) != kNoSlot)
        return;
  }
  DeallocDlsBuf(env, collection);
  PutLe32(rec, colrec::kPoolAddress, 0);
  ReleaseCollectionEntry(env, client, collection);
  block.Set32(CommonBlock::Collection(collection) + cdb::kColClient, cdb::kNoClient);
}

std::uint32_t DownloadPercussion(const DlsEnv& env, std::uint32_t collection, std::uint32_t kitNumber,
                                 platform::LinearAddress parseBuffer, std::uint32_t bank,
                                 std::uint32_t program, std::uint32_t flags) {
  CommonBlock block = env.Common();
  auto rec = RecordOf(env, block, collection);
  auto buf = env.Map(parseBuffer, pbuf::kSize);
  if (rec.empty() || buf.empty() || kitNumber >= colrec::kDrumKitSlots) return kStatusBadArgument;
  platform::LinearAddress kitAddress = GetLe32(rec, colrec::kDrumKits + 4 * kitNumber);
  auto kitRec = env.Map(kitAddress, kit::kSize);
  if (kitRec.empty()) return kStatusBadArgument;
  const auto owner = static_cast<std::uint16_t>(collection);
  const auto b16 = static_cast<std::uint16_t>(bank), p16 = static_cast<std::uint16_t>(program);

  std::uint16_t existing = SearchDrumPatch(env, b16, p16);
  if (existing != kNoSlot) {
    if (!(flags & kLoadReplace)) return kStatusTaken;
    UnloadDrumPatch(env, existing);
  }
  std::uint16_t drumPatch = AcquireDrumPatch(env, owner, b16, p16);
  if (drumPatch == kNoSlot) return kStatusNoRoom;
  PutLe16(kitRec, kit::kDrumPatch, drumPatch);

  const std::uint32_t count = std::min(GetLe32(kitRec, kit::kRegionCount), pbuf::kDrumListLength);
  const platform::LinearAddress list = parseBuffer + pbuf::DrumList(kitNumber);
  SortRegions(env, count, list);
  for (std::uint32_t k = 0; k < count; ++k) {
    platform::LinearAddress regionAddress = GetLe32(buf, pbuf::DrumList(kitNumber) + 4 * k);
    auto r = env.Map(regionAddress, rgn::kSize);
    if (r.empty()) return kStatusBadFile;
    std::uint16_t key = GetLe16(r, rgn::kKeyLow);
    // A key past 127 has no entry in the 128-key drum table.
    if (key != GetLe16(r, rgn::kKeyHigh) || key >= cdb::kDrumTableEntries) return kStatusBadFile;
    std::uint16_t patch = AcquirePatch(env, owner, 1, p16, key);
    if (patch == kNoSlot) return kStatusNoRoom;
    PutLe16(kitRec, kit::Entry(k) + kit::kEntryPatch, patch);
    std::uint16_t inst = AcquireDrumInstrument(env, owner, static_cast<std::uint16_t>(kitNumber));
    if (inst == kNoSlot) return kStatusNoRoom;
    PutLe16(kitRec, kit::Entry(k) + kit::kEntryDrumInst, inst);
    std::uint32_t poolOffset = GetLe32(rec, colrec::kPoolOffset);
    platform::LinearAddress instRecord =
        block.Get32(cdb::kLpDrumInstTable) + card::kDrumInstRecordSize * inst;
    if (!FillSampleStruc(env, DrumFlag::kDrum, regionAddress, instRecord, poolOffset)) return kStatusBadFile;
    Articulation art = ReadArticulation(r, rgn::kArticulation);
    FillPatchStruc(env, patch, art, FindDlsDrumInstrOffset(env, inst), DrumFlag::kDrum);
    auto transpose = static_cast<std::int32_t>(key) - static_cast<std::int32_t>(GetLe16(r, rgn::kUnityNote));
    WriteIntoDrumPatchPacked(env, drumPatch, key, GetLe16(r, rgn::kKeyGroup), patch, transpose,
                             ConvertPan(art[19]));
  }
  if (block.Get16(cdb::kWChanBank + 2 * kChannel10) == b16 &&
      block.Get16(cdb::kWChanProgram + 2 * kChannel10) == p16)
    block.Set16(cdb::kWCurDrumPatch, drumPatch);
  FlipPercussionFlag(env, kitAddress);
  return 0;
}

std::uint32_t DownLoadDLS(const DlsEnv& env, std::uint32_t collection, std::uint32_t flags) {
  CommonBlock block = env.Common();
  if (!block.Valid() || collection >= cdb::kCollectionCount) return kStatusBadArgument;
  auto rec = RecordOf(env, block, collection);
  platform::LinearAddress parseBuffer =
      block.Get32(CommonBlock::Collection(collection) + cdb::kColParseBuffer);
  auto buf = env.Map(parseBuffer, pbuf::kSize);
  if (rec.empty() || buf.empty()) return kStatusBadArgument;
  ClearResourceIndex(env, collection);
  if (static_cast<std::int32_t>(GetLe32(rec, colrec::kInstrumentCount)) <= 0 ||
      GetLe32(rec, colrec::kPoolAddress) == 0 || block.Get32(cdb::kLpPatchTable) == 0)
    return kStatusNothing;

  const auto owner = static_cast<std::uint16_t>(collection);
  auto fail = [&](std::uint32_t status) {
    ReleaseDLSFile(env, collection);
    return status;
  };
  for (std::uint32_t i = 0; i < InstrumentCount(rec); ++i) {
    const std::uint32_t slot = insslot::At(i), ins = pbuf::Instrument(i);
    const std::uint32_t bank = GetLe32(buf, ins + pbuf::kInsBank),
                        program = GetLe32(buf, ins + pbuf::kInsProgram);
    const std::uint32_t regions = GetLe32(rec, slot + insslot::kRegionCount);
    if (program >= 128) return fail(kStatusBadArgument);
    const auto bank14 = static_cast<std::uint16_t>(((bank & 0x7F00) >> 1) | (bank & 0x7F));
    const auto p16 = static_cast<std::uint16_t>(program);
    if (GetLe32(rec, slot + insslot::kDrumFlag) != 0) continue;
    // Without regions there is no split to point the patch at, nor a last split to mark.
    if (regions == 0 || regions > pbuf::kMelodicListLength) return fail(kStatusBadFile);

    std::uint16_t existing = SearchPatch(env, 0, bank14, p16);
    if (existing != kNoSlot) {
      if (!(flags & kLoadReplace)) return fail(kStatusTaken);
      std::uint16_t other = block.Get16(CommonBlock::Patch(existing) + cdb::kPatchOwner);
      std::uint32_t otherClient =
          other < cdb::kCollectionCount ? block.Get32(CommonBlock::Collection(other) + cdb::kColClient) : 0;
      DLSUnloadPatch(env, otherClient, other, existing);
    }
    std::uint16_t patch = AcquirePatch(env, owner, 0, bank14, p16);
    if (patch == kNoSlot) return fail(kStatusNoRoom);
    PutLe16(rec, slot + insslot::kPatch, patch);
    std::uint16_t split = AcquireSplit(env, owner, regions);
    if (split == kNoSlot) return fail(kStatusNoSplitRun);
    PutLe16(rec, slot + insslot::kFirstSplit, split);
    FillPatchStruc(env, patch, ReadArticulation(buf, ins + pbuf::kInsArticulation),
                   FindDlsSplitOffset(env, split), DrumFlag::kMelodic);
    const platform::LinearAddress list = parseBuffer + pbuf::MelodicList(i);
    SortRegions(env, regions, list);
    if (!WriteInstrumentSplits(env, split, regions, list, GetLe32(rec, colrec::kPoolOffset)))
      return fail(kStatusBadFile);
    SignalChannels(env, bank14, p16);
  }
  for (std::uint32_t k = 0; k < KitCount(rec); ++k) {
    auto kitRec = env.Map(GetLe32(rec, colrec::kDrumKits + 4 * k), kit::kSize);
    if (kitRec.empty()) continue;
    std::uint32_t status = DownloadPercussion(env, collection, k, parseBuffer, GetLe32(kitRec, kit::kBank),
                                              GetLe32(kitRec, kit::kProgram), flags);
    if (status != 0) return fail(status);
  }
  return 0;
}

}  // namespace dls
