// The card's table records in host sample memory: patch, split, sample, drum instrument and drum patch
// table entries. A hardware format: big-endian, every offset and bit fixed.
#pragma once

#include <cstdint>

#include "basedrv/dls/engine_env.h"
#include "basedrv/dls/parse_records.h"

namespace dls {

namespace card {
inline constexpr std::uint32_t kPatchRecordSize = 30;
inline constexpr std::uint32_t kSplitRecordSize = 20;
inline constexpr std::uint32_t kSampleRecordSize = 18;
inline constexpr std::uint32_t kDrumInstRecordSize = 18;
inline constexpr std::uint32_t kDrumTableEntrySize = 4;

// Table area layout, from the end of the General MIDI bank image.
inline constexpr std::uint32_t kPatchTableOffset = 0;
inline constexpr std::uint32_t kSplitTableOffset = 22980;
inline constexpr std::uint32_t kDrumTableAreaOffset = 43460;
inline constexpr std::uint32_t kDrumInstTableOffset = 43972;
inline constexpr std::uint32_t kMinTableAreaSize = 57796;
static_assert(kSplitTableOffset == 766 * kPatchRecordSize);
static_assert(kDrumTableAreaOffset == kSplitTableOffset + 1024 * kSplitRecordSize);
static_assert(kDrumInstTableOffset == kDrumTableAreaOffset + 128 * kDrumTableEntrySize);
static_assert(kMinTableAreaSize == kDrumInstTableOffset + 768 * kDrumInstRecordSize);

// With the General MIDI ROM below the RAM, every sample memory address the card sees is this much higher.
inline constexpr std::uint32_t kRomOffset = 0x400000;
// The card's wave address space.
inline constexpr std::uint32_t kWaveAddressSpace = 0x1000000;

// Sample record address word.
inline constexpr std::uint32_t kFlag16Bit = 1u << 30;
inline constexpr std::uint32_t kFlag8Bit = 1u << 29;
inline constexpr std::uint32_t kFlagKeyGroup1 = 1u << 27;
inline constexpr std::uint32_t kAddressMask = 0x1FFFFFFF;

inline constexpr std::uint32_t kEmptyDrumEntry = 0x8000FF03;  // 03 FF 00 80 in memory
inline constexpr std::uint16_t kLastSplitKey = 0x8000;
}  // namespace card

enum class DrumFlag : std::uint8_t { kMelodic = 0, kDrum = 1 };

// The unpacked contents of one patch record, one field per packed field.
struct PatchParam {
  std::uint16_t constant = 0x3FF;  // 10 bits
  std::uint8_t drumFlag = 0;       // 6 bits
  std::uint8_t byte2Bit7 = 1;
  std::uint8_t byte2Bits6to4 = 7;
  std::uint8_t vibModWheel = 0;
  std::uint8_t tremModWheel = 0;
  std::uint8_t byte3Low = 0;
  std::uint8_t eg2Attack = 0;
  std::uint8_t eg2Decay = 0;
  std::uint8_t eg2Sustain = 0;
  std::uint8_t eg2Release = 0;
  std::uint8_t eg2ToPitch = 0;
  std::uint8_t velToEg2Attack = 0;
  std::uint8_t keyToEg2Decay = 0;
  std::uint8_t velToEg1Attack = 0;
  std::uint8_t keyToEg1Decay = 0;
  std::uint8_t eg1Attack = 0;
  std::uint8_t eg1Decay = 0;
  std::uint8_t eg1Sustain = 0;
  std::uint8_t eg1Release = 0;
  std::uint8_t byte18 = 0;
  std::uint8_t velToAttenuation = 0;
  std::uint8_t lfoFrequency = 0;
  std::uint8_t lfoDelay = 0;
  std::uint8_t lfoVibrato = 0;
  std::uint8_t lfoTremolo = 0;
  std::uint32_t samplePointer = 0;  // 24 bits
};

void InitPatchParam(const DlsEnv& env, std::uint32_t patchSlot);
void FillPatchStruc(const DlsEnv& env, std::uint32_t patchSlot, const Articulation& art,
                    std::uint32_t cardAddress, DrumFlag drum);
// Slots above 765 are not written.
void WriteIntoPatchStrucPacked(const DlsEnv& env, std::uint32_t patchSlot, const PatchParam& param);

// Writes the 18-byte sample record of the region record at `region` to `destination`. False, and nothing
// written, when the region, its wave record or the destination is not in mapped memory.
bool FillSampleStruc(const DlsEnv& env, DrumFlag drum, platform::LinearAddress region,
                     platform::LinearAddress destination, std::uint32_t poolOffset);

// One entry of a drum patch slot's 512-byte table.
void WriteIntoDrumPatchPacked(const DlsEnv& env, std::uint32_t drumPatchSlot, std::uint32_t key,
                              std::uint32_t keyGroup, std::uint32_t patchSlot, std::int32_t transpose,
                              std::uint8_t pan);
std::uint32_t PackDrumEntry(std::uint32_t keyGroup, std::uint32_t patchSlot, std::int32_t transpose,
                            std::uint8_t pan);

// Orders a list of `count` 4-byte region record addresses in place, ascending by lower key.
void SortRegions(const DlsEnv& env, std::uint32_t count, platform::LinearAddress regionList);

// Writes an instrument's splits from `firstSplit` on: the regions in ascending order of lower key, each
// with its upper key, the last one with key 128. False when a record could not be written.
bool WriteInstrumentSplits(const DlsEnv& env, std::uint32_t firstSplit, std::uint32_t count,
                           platform::LinearAddress regionList, std::uint32_t poolOffset);

std::uint32_t FindDlsSplitOffset(const DlsEnv& env, std::uint32_t splitSlot);
std::uint32_t FindDlsDrumInstrOffset(const DlsEnv& env, std::uint32_t drumInstSlot);

}  // namespace dls
