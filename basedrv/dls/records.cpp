#include "basedrv/dls/records.h"

#include "basedrv/dls/convert.h"

namespace dls {

namespace {

std::uint32_t RomOffset(const CommonBlock& block) {
  return block.Get8(cdb::kFRomBelowRam) == 1 ? card::kRomOffset : 0;
}

std::uint32_t Shifted(std::uint32_t bytes, std::uint32_t shift) {
  return shift < 32 ? bytes >> shift : 0;
}
std::uint32_t LessOne(std::uint32_t v) {
  return v == 0 ? 0 : v - 1;
}

}  // namespace

void WriteIntoPatchStrucPacked(const DlsEnv& env, std::uint32_t slot, const PatchParam& p) {
  if (slot >= cdb::kPatchCount) return;
  CommonBlock block = env.Common();
  if (!block.Valid()) return;
  auto rec = env.Map(block.Get32(cdb::kLpPatchTable) + card::kPatchRecordSize * slot, card::kPatchRecordSize);
  if (rec.empty()) return;
  FarPut2Bytes(rec, 0, ((p.constant & 0x3FFu) << 6) | (p.drumFlag & 0x3Fu));
  rec[2] = static_cast<std::uint8_t>(((p.byte2Bit7 & 1) << 7) | ((p.byte2Bits6to4 & 7) << 4) |
                                     (p.vibModWheel & 0xF));
  rec[3] = static_cast<std::uint8_t>(((p.tremModWheel & 0xF) << 4) | (p.byte3Low & 0xF));
  rec[4] = 0;
  rec[5] = 0;
  rec[6] = p.eg2Attack;
  rec[7] = p.eg2Decay;
  rec[8] = p.eg2Sustain;
  rec[9] = p.eg2Release;
  rec[10] = 0;
  rec[11] = p.eg2ToPitch;
  rec[12] = static_cast<std::uint8_t>(((p.velToEg2Attack & 0xF) << 4) | (p.keyToEg2Decay & 0xF));
  rec[13] = static_cast<std::uint8_t>(((p.velToEg1Attack & 0xF) << 4) | (p.keyToEg1Decay & 0xF));
  rec[14] = p.eg1Attack;
  rec[15] = p.eg1Decay;
  rec[16] = p.eg1Sustain;
  rec[17] = p.eg1Release;
  rec[18] = p.byte18;
  rec[19] = p.velToAttenuation;
  rec[20] = 0;
  rec[21] = 0;
  rec[22] = p.lfoFrequency;
  rec[23] = p.lfoDelay;
  rec[24] = static_cast<std::uint8_t>((p.lfoVibrato & 0xF) << 4);
  rec[25] = static_cast<std::uint8_t>((p.lfoTremolo & 0xF) << 4);
  rec[26] = 0;
  FarPut3Bytes(rec, 27, p.samplePointer);
}

void InitPatchParam(const DlsEnv& env, std::uint32_t slot) {
  PatchParam empty;
  empty.drumFlag = 0x3F;
  empty.byte3Low = 8;
  empty.byte18 = 0xFF;
  empty.velToAttenuation = 0xFF;
  WriteIntoPatchStrucPacked(env, slot, empty);
}

void FillPatchStruc(const DlsEnv& env, std::uint32_t slot, const Articulation& art, std::uint32_t cardAddress,
                    DrumFlag drum) {
  CommonBlock block = env.Common();
  PatchParam p;
  p.drumFlag = drum == DrumFlag::kDrum ? 1 : 0;
  p.vibModWheel = CnvVibModWheelScale(art[5]);
  p.tremModWheel = CnvTremModWheelScale(art[4]);
  p.eg2Attack = CnvEnvTime(art[12]);
  p.eg2Decay = CnvEnvTime(art[13]);
  p.eg2Sustain = CnvSustainLevel(art[14]);
  p.eg2Release = CnvEnvTime(art[15]);
  p.eg2ToPitch = CnvPitchEnvScale(art[18]);
  p.velToEg2Attack = CnvEnvAttScale(art[16]);
  p.keyToEg2Decay = CnvEnvAttScale(art[17]);
  p.velToEg1Attack = CnvEnvAttScale(art[10]);
  p.keyToEg1Decay = CnvEnvAttScale(art[11]);
  p.eg1Attack = CnvEnvTime(art[6]);
  p.eg1Decay = CnvEnvTime(art[7]);
  p.eg1Sustain = CnvSustainLevel(art[8]);
  p.eg1Release = CnvEnvTime(art[9]);
  p.velToAttenuation = CnvVolVelMin(art[20]);
  p.lfoFrequency = CnvLfoFreq(art[0]);
  p.lfoDelay = CnvEnvTime(art[1]);
  p.lfoVibrato = CnvVibLfoScale(art[3]);
  p.lfoTremolo = CnvTremModWheelScale(art[2]);
  p.samplePointer = (cardAddress + RomOffset(block)) & 0xFFFFFF;
  WriteIntoPatchStrucPacked(env, slot, p);
}

bool FillSampleStruc(const DlsEnv& env, DrumFlag drum, platform::LinearAddress region,
                     platform::LinearAddress destination, std::uint32_t poolOffset) {
  CommonBlock block = env.Common();
  auto r = env.Map(region, rgn::kSize);
  auto dest = env.Map(destination, card::kSampleRecordSize);
  if (!block.Valid() || r.empty() || dest.empty()) return false;
  auto w = env.Map(GetLe32(r, rgn::kWaveRecord), wave::kSize);
  if (w.empty()) return false;

  std::uint32_t flags = 0;
  if (GetLe16(r, rgn::kKeyGroup) == 1) flags |= card::kFlagKeyGroup1;
  std::uint16_t bits = GetLe16(r, rgn::kBitsPerSample);
  if (bits == 8) flags |= card::kFlag8Bit;
  if (bits == 16) flags |= card::kFlag16Bit;
  std::uint32_t address =
      block.Get32(cdb::kDwDataCardAddr) + poolOffset + GetLe32(r, rgn::kSampleDataOffset) + RomOffset(block);
  FarPut4Bytes(dest, 0, flags | (address & card::kAddressMask));

  std::uint32_t shift = GetLe16(w, wave::kSizeShift);
  FarPut3Bytes(dest, 4, LessOne(Shifted(GetLe32(w, wave::kLoopStartBytes), shift)));
  FarPut2Bytes(dest, 7, GetLe16(w, wave::kFirstSample));
  FarPut3Bytes(dest, 9, LessOne(Shifted(GetLe32(w, wave::kLoopLengthBytes), shift)));
  FarPut2Bytes(dest, 12, GetLe16(w, wave::kLoopStartSample));

  FarPut2Bytes(dest, 14, ConvertRelGain(static_cast<std::int32_t>(GetLe32(r, rgn::kAttenuation))));

  std::uint32_t frequency =
      CalcNewFreq(GetLe32(r, rgn::kSamplesPerSec), static_cast<std::int16_t>(GetLe16(r, rgn::kFineTune)));
  std::uint32_t pitch = static_cast<std::uint32_t>(CnvFreq(frequency));
  if (drum == DrumFlag::kMelodic) pitch -= 256u * GetLe16(r, rgn::kUnityNote);
  FarPut2Bytes(dest, 16, pitch & 0xFFFF);
  return true;
}

std::uint32_t PackDrumEntry(std::uint32_t keyGroup, std::uint32_t patchSlot, std::int32_t transpose,
                            std::uint8_t pan) {
  std::uint32_t word = ((keyGroup & 0xF) << 12) | ((patchSlot + 256) & 0x3FF);
  return (word << 16) | ((static_cast<std::uint32_t>(transpose) & 0xFF) << 8) | pan;
}

void WriteIntoDrumPatchPacked(const DlsEnv& env, std::uint32_t drumPatchSlot, std::uint32_t key,
                              std::uint32_t keyGroup, std::uint32_t patchSlot, std::int32_t transpose,
                              std::uint8_t pan) {
  CommonBlock block = env.Common();
  if (!block.Valid() || drumPatchSlot >= cdb::kDrumPatchCount || key >= cdb::kDrumTableEntries) return;
  platform::LinearAddress table =
      block.Get32(CommonBlock::DrumPatch(drumPatchSlot) + cdb::kDrumPatchTablePtr);
  auto entry = env.Map(table + card::kDrumTableEntrySize * key, card::kDrumTableEntrySize);
  FarPut4Bytes(entry, 0, PackDrumEntry(keyGroup, patchSlot, transpose, pan));
}

void SortRegions(const DlsEnv& env, std::uint32_t count, platform::LinearAddress regionList) {
  if (count < 2) return;
  auto list = env.Map(regionList, 4 * count);
  if (list.empty()) return;
  auto keyOf = [&](std::uint32_t i) -> std::uint32_t {
    auto r = env.Map(GetLe32(list, 4 * i), rgn::kSize);
    return r.empty() ? 0x10000 : GetLe16(r, rgn::kKeyLow);  // unreadable regions sort last
  };
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    std::uint32_t smallest = keyOf(i);
    std::uint32_t found = count;
    for (std::uint32_t j = i + 1; j < count; ++j) {
      std::uint32_t key = keyOf(j);
      if (key < smallest) {
        smallest = key;
        found = j;
      }
    }
    if (found != count) {
      std::uint32_t a = GetLe32(list, 4 * i);
      PutLe32(list, 4 * i, GetLe32(list, 4 * found));
      PutLe32(list, 4 * found, a);
    }
  }
}

bool WriteInstrumentSplits(const DlsEnv& env, std::uint32_t firstSplit, std::uint32_t count,
                           platform::LinearAddress regionList, std::uint32_t poolOffset) {
  CommonBlock block = env.Common();
  if (!block.Valid() || count == 0 || firstSplit >= cdb::kSplitCount || count > cdb::kSplitCount - firstSplit)
    return false;
  auto list = env.Map(regionList, 4 * count);
  if (list.empty()) return false;
  SortRegions(env, count, regionList);
  platform::LinearAddress table = block.Get32(cdb::kLpSplitTable);
  bool ok = true;
  for (std::uint32_t k = 0; k < count; ++k) {
    platform::LinearAddress split = table + card::kSplitRecordSize * (firstSplit + k);
    auto rec = env.Map(split, card::kSplitRecordSize);
    auto region = env.Map(GetLe32(list, 4 * k), rgn::kSize);
    if (rec.empty() || region.empty()) {
      ok = false;
      continue;
    }
    FarPut2Bytes(rec, 0, (GetLe16(region, rgn::kKeyHigh) & 0xFFu) << 8);
    ok = FillSampleStruc(env, DrumFlag::kMelodic, GetLe32(list, 4 * k), split + 2, poolOffset) && ok;
  }
  auto last = env.Map(table + card::kSplitRecordSize * (firstSplit + count - 1), 2);
  FarPut2Bytes(last, 0, card::kLastSplitKey);
  return ok;
}

std::uint32_t FindDlsSplitOffset(const DlsEnv& env, std::uint32_t slot) {
  return env.Common().Get32(cdb::kDwSplitCardAddr) + card::kSplitRecordSize * slot;
}

std::uint32_t FindDlsDrumInstrOffset(const DlsEnv& env, std::uint32_t slot) {
  return env.Common().Get32(cdb::kDwDrumInstCardAddr) + card::kDrumInstRecordSize * slot;
}

}  // namespace dls
