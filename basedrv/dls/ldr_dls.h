// The DLS file reader: walks a RIFF "DLS " form, fills the collection record and the parse buffer, copies
// the wave pool into the DLS data area and rewrites its samples in place into the card's form.
#pragma once

#include <cstdint>
#include <span>

#include "basedrv/dls/engine_env.h"
#include "basedrv/dls/parse_records.h"
#include "platform/riff.h"

namespace dls {

// The per-load parse buffer.
namespace pbuf {
inline constexpr std::uint32_t kSize = 451740;
inline constexpr std::uint32_t kInstruments = 0;
inline constexpr std::uint32_t kInstrumentSize = 96;
inline constexpr std::uint32_t kInstrumentCount = 256;
inline constexpr std::uint32_t kWaves = 24576;
inline constexpr std::uint32_t kWaveCount = 1000;
inline constexpr std::uint32_t kRegions = 54576;
inline constexpr std::uint32_t kRegionCount = 2000;
inline constexpr std::uint32_t kRegionsInUse = 398576;
inline constexpr std::uint32_t kPoolHeader = 398580;
inline constexpr std::uint32_t kPoolOffsets = 398588;
inline constexpr std::uint32_t kMelodicLists = 402588;
inline constexpr std::uint32_t kMelodicListLength = 32;
inline constexpr std::uint32_t kDrumLists = 435356;
inline constexpr std::uint32_t kDrumListLength = 128;
inline constexpr std::uint32_t kDrumKitCount = 32;
// Instrument record fields: the 12 bytes of "insh", then the articulation.
inline constexpr std::uint32_t kInsRegionCount = 0;
inline constexpr std::uint32_t kInsBank = 4;
inline constexpr std::uint32_t kInsProgram = 8;
inline constexpr std::uint32_t kInsArticulation = 12;
static_assert(kWaves == kInstrumentCount * kInstrumentSize);
static_assert(kRegions == kWaves + kWaveCount * wave::kSize);
static_assert(kRegionsInUse == kRegions + kRegionCount * rgn::kSize);
static_assert(kMelodicLists == kPoolOffsets + 4 * kWaveCount);
static_assert(kDrumLists == kMelodicLists + 4 * kInstrumentCount * kMelodicListLength);
static_assert(kSize == kDrumLists + 4 * kDrumKitCount * kDrumListLength);

constexpr std::uint32_t Instrument(std::uint32_t i) {
  return kInstruments + kInstrumentSize * i;
}
constexpr std::uint32_t Wave(std::uint32_t w) {
  return kWaves + wave::kSize * w;
}
constexpr std::uint32_t Region(std::uint32_t r) {
  return kRegions + rgn::kSize * r;
}
constexpr std::uint32_t MelodicList(std::uint32_t i) {
  return kMelodicLists + 4 * kMelodicListLength * i;
}
constexpr std::uint32_t DrumList(std::uint32_t k) {
  return kDrumLists + 4 * kDrumListLength * k;
}
}  // namespace pbuf

// Instrument slots of the collection record.
namespace insslot {
inline constexpr std::uint32_t kDrumFlag = 0;
inline constexpr std::uint32_t kDrumKit = 4;
inline constexpr std::uint32_t kPatch = 6;
inline constexpr std::uint32_t kFirstSplit = 8;
inline constexpr std::uint32_t kRegionCount = 10;
constexpr std::uint32_t At(std::uint32_t i) {
  return colrec::kInstruments + colrec::kInstrumentSlotSize * i;
}
}  // namespace insslot

// The shared drum kit record.
namespace kit {
inline constexpr std::uint32_t kSize = 528;
inline constexpr std::uint32_t kBank = 0;
inline constexpr std::uint32_t kProgram = 4;
inline constexpr std::uint32_t kRegionCount = 8;
inline constexpr std::uint32_t kDrumPatch = 14;
inline constexpr std::uint32_t kEntries = 16;
inline constexpr std::uint32_t kEntryPatch = 0;
inline constexpr std::uint32_t kEntryDrumInst = 2;
constexpr std::uint32_t Entry(std::uint32_t k) {
  return kEntries + 4 * k;
}
static_assert(Entry(128) == kSize);
}  // namespace kit

extern const Articulation kDefaultArtiInfo;
struct ConnBlock {
  std::uint16_t source, control, destination, transform;
};
extern const ConnBlock kDLSConnBlk[kArticulationCount];

// Statuses of the reader.
inline constexpr std::uint32_t kStatusNoEntry = 2;
inline constexpr std::uint32_t kStatusIndexLimit = 7;
inline constexpr std::uint32_t kStatusNoRoom = 8;
inline constexpr std::uint32_t kStatusOpenFailed = 10;
inline constexpr std::uint32_t kStatusBadFile = 11;

// Where and why a read was refused, for a person (j6sim dls check). Fields are -1 when they do not apply.
struct ReadPlace {
  std::int32_t instrument = -1, region = -1, wave = -1;
  char chunk[5] = {};
  const char* reason = "";
};

// The reader's working state for one file.
struct DlsLoad {
  DlsEnv env;
  platform::RiffReader* riff = nullptr;
  platform::RiffHandle file = 0;
  std::uint32_t collection = 0;
  platform::LinearAddress record = 0;       // collection record
  platform::LinearAddress parseBuffer = 0;  // parse buffer
  ReadPlace* place = nullptr;               // optional
  std::span<std::uint8_t> Record() const { return env.Map(record, colrec::kSize); }
  std::span<std::uint8_t> Buffer() const { return env.Map(parseBuffer, pbuf::kSize); }
};

std::uint32_t OpenDLSFile(DlsLoad& load, const char* fileName);
std::int32_t ParseListINS(DlsLoad& load, const platform::ChunkInfo& lins, std::uint32_t instrument);
std::int32_t ParseListRGN(DlsLoad& load, const platform::ChunkInfo& lrgn, const Articulation& instrumentArt,
                          std::uint32_t listSlot);
std::int32_t ParseArtiChk(DlsLoad& load, const platform::ChunkInfo& lart, Articulation& art);
std::int32_t AddNewPercussionInstr(DlsLoad& load, std::uint32_t instrument);
// Offset in the parse buffer of the next free region record, or 0 when all are in use.
std::uint32_t GetRegionInfoStruc(DlsLoad& load);
std::uint32_t GetWaveInfo(DlsLoad& load, std::uint32_t tableIndex);
std::int16_t GetInitialSample(std::uint32_t bitsPerSample, std::span<const std::uint8_t> sample);

// Rewrites one wave's data in place: the conversion to the card's sample form (signed 8-bit, big-endian
// 16-bit) when `convert`, then the set-up from a region's loop into the wave record `waveRecord` (30
// bytes). False when the loop reaches outside the data.
void ConvertWaveData(std::span<std::uint8_t> data, std::uint32_t bitsPerSample);
bool SetUpWave(std::span<std::uint8_t> data, std::uint32_t bitsPerSample, bool looped,
               std::uint32_t loopStart, std::uint32_t loopLength, std::span<std::uint8_t> waveRecord);

}  // namespace dls
