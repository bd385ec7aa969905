#include "basedrv/dls/ldr_dls.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "basedrv/dls/mem_dls.h"

namespace dls {

const Articulation kDefaultArtiInfo = {-55791972, INT32_MIN, 0,        0,         0,         0,
                                       INT32_MIN, INT32_MIN, 65536000, INT32_MIN, INT32_MIN, INT32_MIN,
                                       INT32_MIN, INT32_MIN, 65536000, INT32_MIN, INT32_MIN, INT32_MIN,
                                       0,         0,         -62914560};

const ConnBlock kDLSConnBlk[kArticulationCount] = {
    {0, 0, 0x0104, 0}, {0, 0, 0x0105, 0}, {1, 0, 1, 0},      {1, 0, 3, 0},      {1, 0x81, 1, 0},
    {1, 0x81, 3, 0},   {0, 0, 0x0206, 0}, {0, 0, 0x0207, 0}, {0, 0, 0x020A, 0}, {0, 0, 0x0209, 0},
    {2, 0, 0x0206, 0}, {3, 0, 0x0207, 0}, {0, 0, 0x030A, 0}, {0, 0, 0x030B, 0}, {0, 0, 0x030E, 0},
    {0, 0, 0x030D, 0}, {2, 0, 0x030A, 0}, {3, 0, 0x030B, 0}, {5, 0, 3, 0},      {0, 0, 4, 0},
    {2, 0, 1, 1}};

namespace {

using platform::ChunkInfo;
using platform::FourCc;

constexpr std::uint32_t kDls = FourCc('D', 'L', 'S', ' ');
constexpr std::int32_t kReject = -1;
constexpr std::int32_t kRegionsExhausted = -2;
// Not one of the parse results the reader's callers know: a region list is full. Becomes status 7.
constexpr std::int32_t kListFull = -3;

void Note(DlsLoad& load, const char* chunk, const char* reason) {
  if (!load.place) return;
  std::memcpy(load.place->chunk, chunk, 4);
  load.place->chunk[4] = 0;
  load.place->reason = reason;
}

std::uint32_t ListStart(const ChunkInfo& ck) {
  return ck.dataOffset + 4;
}

bool SeekTo(DlsLoad& load, std::uint64_t offset) {
  return offset <= 0x7FFFFFFF && load.riff->Seek(load.file, static_cast<std::int32_t>(offset), 0) >= 0;
}

// Finds a chunk (or, with a list type, a list) inside `parent`, from the current position.
bool Find(DlsLoad& load, const ChunkInfo& parent, const char* id, ChunkInfo* found, bool list) {
  *found = {};
  if (list)
    found->type = FourCc(id[0], id[1], id[2], id[3]);
  else
    found->id = FourCc(id[0], id[1], id[2], id[3]);
  return load.riff->Descend(load.file, found, &parent,
                            list ? platform::kMmioFindList : platform::kMmioFindChunk) == 0;
}

// The same, from the start of the parent list's contents, so sibling order does not matter.
bool FindFromStart(DlsLoad& load, const ChunkInfo& parent, const char* id, ChunkInfo* found, bool list) {
  return SeekTo(load, ListStart(parent)) && Find(load, parent, id, found, list);
}

std::uint64_t ChunkEnd(const ChunkInfo& ck) {
  return std::uint64_t{ck.dataOffset} + ck.size;
}

// Reads `size` bytes at the current position; never past the end of the chunk they belong to.
bool ReadIn(DlsLoad& load, const ChunkInfo& ck, void* buffer, std::uint32_t size) {
  std::int32_t at = load.riff->Seek(load.file, 0, 1);
  if (at < 0 || std::uint64_t(at) + size > ChunkEnd(ck) || size > 0x7FFFFFFF) return false;
  return load.riff->Read(load.file, buffer, static_cast<std::int32_t>(size)) ==
         static_cast<std::int32_t>(size);
}

bool SkipIn(DlsLoad& load, const ChunkInfo& ck, std::uint32_t size) {
  std::int32_t at = load.riff->Seek(load.file, 0, 1);
  if (at < 0 || std::uint64_t(at) + size > ChunkEnd(ck)) return false;
  return SeekTo(load, std::uint64_t(at) + size);
}

bool Leave(DlsLoad& load, ChunkInfo& ck) {
  return load.riff->Ascend(load.file, &ck) == 0;
}

void WriteArticulation(std::span<std::uint8_t> bytes, std::uint32_t offset, const Articulation& art) {
  for (std::uint32_t i = 0; i < kArticulationCount; ++i)
    PutLe32(bytes, offset + 4 * i, static_cast<std::uint32_t>(art[i]));
}

}  // namespace

std::int16_t GetInitialSample(std::uint32_t bitsPerSample, std::span<const std::uint8_t> sample) {
  if (bitsPerSample == 8)
    return sample.empty() ? 0 : static_cast<std::int16_t>(static_cast<std::int8_t>(sample[0]) * 256);
  if (sample.size() < 2) return 0;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(sample[0] << 8 | sample[1]));
}

void ConvertWaveData(std::span<std::uint8_t> data, std::uint32_t bitsPerSample) {
  if (bitsPerSample == 8) {
    for (std::uint8_t& b : data) b ^= 0x80;
  } else if (bitsPerSample == 16) {
    // A trailing odd byte is no sample; it stays as it is.
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
  }
}

bool SetUpWave(std::span<std::uint8_t> data, std::uint32_t bitsPerSample, bool looped,
               std::uint32_t loopStart, std::uint32_t loopLength, std::span<std::uint8_t> waveRecord) {
  const std::uint32_t s = bitsPerSample == 16 ? 1 : 0;
  const std::uint64_t n = std::uint64_t{1} << s;
  const std::uint64_t size = data.size();
  std::uint64_t l = size, m = 0;
  if (looped) {
    l = std::uint64_t{loopStart} << s;
    m = std::uint64_t{loopLength} << s;
    if (l + m > size) return false;
  }
  PutLe32(waveRecord, wave::kLoopStartBytes, static_cast<std::uint32_t>(l));
  PutLe32(waveRecord, wave::kLoopLengthBytes, static_cast<std::uint32_t>(m));
  PutLe16(waveRecord, wave::kSizeShift, static_cast<std::uint16_t>(s));
  PutLe32(waveRecord, wave::kSetUp, 1);
  // An empty wave (or a lone byte of a 16-bit one) has no first sample: it reads as silence.
  std::int16_t first = size >= n ? GetInitialSample(bitsPerSample, data.first(n)) : 0;
  std::int16_t loopSample = looped && l + n <= size ? GetInitialSample(bitsPerSample, data.subspan(l, n)) : 0;
  PutLe16(waveRecord, wave::kFirstSample, static_cast<std::uint16_t>(first));
  PutLe16(waveRecord, wave::kLoopStartSample, static_cast<std::uint16_t>(loopSample));

  // The first sample and the loop-start sample live in the sample record, not in memory.
  if (l > n) std::memmove(data.data(), data.data() + n, l - n);
  if (m > n) {
    // A loop at the first sample has no pre-loop part: its body starts the data.
    std::uint64_t to = l >= n ? l - n : 0;
    std::memmove(data.data() + to, data.data() + l + n, m - n);
  }
  return true;
}

std::uint32_t GetRegionInfoStruc(DlsLoad& load) {
  auto buf = load.Buffer();
  std::uint32_t used = GetLe32(buf, pbuf::kRegionsInUse);
  if (buf.empty() || used >= pbuf::kRegionCount) return 0;
  PutLe32(buf, pbuf::kRegionsInUse, used + 1);
  return load.parseBuffer + pbuf::Region(used);
}

std::uint32_t GetWaveInfo(DlsLoad& load, std::uint32_t tableIndex) {
  auto buf = load.Buffer();
  std::uint32_t offset = GetLe32(buf, pbuf::kPoolOffsets + 4 * tableIndex);
  // This runs once per region over every wave record, so a whole buffer is read in place.
  auto le32 = [](const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
  };
  const bool whole = buf.size() >= pbuf::Wave(pbuf::kWaveCount);
  for (std::uint32_t w = 0; w < pbuf::kWaveCount; ++w) {
    std::uint32_t at = pbuf::Wave(w);
    const bool match =
        whole
            ? le32(buf.data() + at + wave::kSetUp) != 0 && le32(buf.data() + at + wave::kPoolOffset) == offset
            : GetLe32(buf, at + wave::kSetUp) != 0 && GetLe32(buf, at + wave::kPoolOffset) == offset;
    if (match) return load.parseBuffer + at;
  }
  PutLe32(buf, pbuf::Wave(tableIndex) + wave::kPoolOffset, offset);
  return load.parseBuffer + pbuf::Wave(tableIndex);
}

std::int32_t AddNewPercussionInstr(DlsLoad& load, std::uint32_t instrument) {
  auto buf = load.Buffer();
  auto rec = load.Record();
  std::uint32_t ins = pbuf::Instrument(instrument);
  std::uint32_t bank = GetLe32(buf, ins + pbuf::kInsBank) & 0x7FFFFFFF;
  std::uint32_t program = GetLe32(buf, ins + pbuf::kInsProgram);
  std::uint32_t count = GetLe32(rec, colrec::kDrumKitCount);
  for (std::uint32_t k = 0; k < count && k < colrec::kDrumKitSlots; ++k) {
    auto kitRec = load.env.Map(GetLe32(rec, colrec::kDrumKits + 4 * k), kit::kSize);
    if (!kitRec.empty() && GetLe32(kitRec, kit::kBank) == bank && GetLe32(kitRec, kit::kProgram) == program)
      return static_cast<std::int32_t>(k);
  }
  if (count >= colrec::kDrumKitSlots) return kReject;
  platform::LinearAddress address = VxD_GlobalAlloc(load.env, kit::kSize);
  auto kitRec = load.env.Map(address, kit::kSize);
  if (kitRec.empty()) return kReject;
  std::fill(kitRec.begin(), kitRec.end(), std::uint8_t{0xFF});
  PutLe32(kitRec, kit::kBank, bank);
  PutLe32(kitRec, kit::kProgram, program);
  PutLe32(kitRec, kit::kRegionCount, GetLe32(buf, ins + pbuf::kInsRegionCount));
  PutLe16(kitRec, kit::kDrumPatch - 2, 0);
  PutLe32(rec, colrec::kDrumKits + 4 * count, address);
  PutLe32(rec, colrec::kDrumKitCount, count + 1);
  return static_cast<std::int32_t>(count);
}

std::int32_t ParseArtiChk(DlsLoad& load, const ChunkInfo& lart, Articulation& art) {
  ChunkInfo art1;
  if (!Find(load, lart, "art1", &art1, false)) {
    Note(load, "art1", "articulation list without an \"art1\" chunk");
    return kReject;
  }
  std::uint8_t header[8];
  if (!ReadIn(load, art1, header, 8)) {
    Note(load, "art1", "articulation header cut short");
    return kReject;
  }
  std::uint32_t size = GetLe32(header, 0), count = GetLe32(header, 4);
  if (size < 8 || !SkipIn(load, art1, size - 8)) {
    Note(load, "art1", "articulation header size out of range");
    return kReject;
  }
  for (std::uint32_t c = 0; c < count; ++c) {
    std::uint8_t block[12];
    if (!ReadIn(load, art1, block, 12)) {
      Note(load, "art1", "more connection blocks declared than the chunk holds");
      return kReject;
    }
    for (std::uint32_t row = 0; row < kArticulationCount; ++row) {
      const ConnBlock& k = kDLSConnBlk[row];
      if (GetLe16(block, 0) == k.source && GetLe16(block, 2) == k.control &&
          GetLe16(block, 4) == k.destination && GetLe16(block, 6) == k.transform)
        art[row] = static_cast<std::int32_t>(GetLe32(block, 8));
    }
  }
  Leave(load, art1);
  return 0;
}

std::int32_t ParseListRGN(DlsLoad& load, const ChunkInfo& lrgn, const Articulation& instrumentArt,
                          std::uint32_t listSlot) {
  auto buf = load.Buffer();
  ChunkInfo region;
  if (!Find(load, lrgn, "rgn ", &region, true)) {
    Note(load, "rgn ", "fewer regions than the instrument header declares");
    return kReject;
  }
  platform::LinearAddress address = GetRegionInfoStruc(load);
  PutLe32(buf, listSlot, address);
  if (address == 0) {
    Note(load, "rgn ", "more than 2,000 regions in the file");
    return kRegionsExhausted;
  }
  auto r = load.env.Map(address, rgn::kSize);

  ChunkInfo ck;
  if (!FindFromStart(load, region, "rgnh", &ck, false) || !ReadIn(load, ck, r.data() + rgn::kKeyLow, 12)) {
    Note(load, "rgnh", "region header missing or short");
    return kReject;
  }
  if (!FindFromStart(load, region, "wsmp", &ck, false) || !ReadIn(load, ck, r.data() + rgn::kWsmpSize, 20)) {
    Note(load, "wsmp", "sample chunk missing or short");
    return kReject;
  }
  std::uint32_t wsmpSize = GetLe32(r, rgn::kWsmpSize);
  if (wsmpSize < 20 || !SkipIn(load, ck, wsmpSize - 20)) {
    Note(load, "wsmp", "sample chunk size out of range");
    return kReject;
  }
  if (GetLe32(r, rgn::kLoopCount) == 1) {
    if (!ReadIn(load, ck, r.data() + rgn::kLoopSize, 16)) {
      Note(load, "wsmp", "sample loop cut short");
      return kReject;
    }
    if (GetLe32(r, rgn::kLoopType) != 0) {
      Note(load, "wsmp", "loop type other than forward");
      return kReject;
    }
    std::uint32_t loopSize = GetLe32(r, rgn::kLoopSize);
    if (loopSize < 16 || !SkipIn(load, ck, loopSize - 16)) {
      Note(load, "wsmp", "sample loop size out of range");
      return kReject;
    }
  }
  if (!FindFromStart(load, region, "wlnk", &ck, false) ||
      !ReadIn(load, ck, r.data() + rgn::kLinkOptions, 12)) {
    Note(load, "wlnk", "wave link missing or short");
    return kReject;
  }
  Articulation art = instrumentArt;
  if (FindFromStart(load, region, "lart", &ck, true) && ParseArtiChk(load, ck, art) != 0) return kReject;
  WriteArticulation(r, rgn::kArticulation, art);
  if (!Leave(load, region)) {
    Note(load, "rgn ", "region list size out of range");
    return kReject;
  }
  return 0;
}

std::int32_t ParseListINS(DlsLoad& load, const ChunkInfo& lins, std::uint32_t i) {
  auto buf = load.Buffer();
  auto rec = load.Record();
  const std::uint32_t ins = pbuf::Instrument(i);
  const std::uint32_t slot = insslot::At(i);
  WriteArticulation(buf, ins + pbuf::kInsArticulation, kDefaultArtiInfo);
  if (load.place) load.place->instrument = static_cast<std::int32_t>(i);

  ChunkInfo instrument, ck;
  if (!Find(load, lins, "ins ", &instrument, true)) {
    Note(load, "ins ", "fewer instruments than the collection header declares");
    return kReject;
  }
  if (!FindFromStart(load, instrument, "insh", &ck, false) || !ReadIn(load, ck, buf.data() + ins, 12)) {
    Note(load, "insh", "instrument header missing or short");
    return kReject;
  }
  const std::uint32_t regions = GetLe32(buf, ins + pbuf::kInsRegionCount);
  PutLe32(rec, slot + insslot::kRegionCount, regions);
  const bool drum = (GetLe32(buf, ins + pbuf::kInsBank) & 0x80000000u) != 0;
  PutLe32(rec, slot + insslot::kDrumFlag, drum ? 1 : 0);
  std::uint32_t list = pbuf::MelodicList(i), limit = pbuf::kMelodicListLength;
  if (drum) {
    std::int32_t number = AddNewPercussionInstr(load, i);
    if (number < 0) {
      Note(load, "insh", "more than 32 drum kits in the file, or no shared memory for a kit");
      return kReject;
    }
    PutLe16(rec, slot + insslot::kDrumKit, static_cast<std::uint16_t>(number));
    list = pbuf::DrumList(static_cast<std::uint32_t>(number));
    limit = pbuf::kDrumListLength;
  }
  Articulation art = ReadArticulation(buf, ins + pbuf::kInsArticulation);
  if (FindFromStart(load, instrument, "lart", &ck, true)) {
    if (ParseArtiChk(load, ck, art) != 0) return kReject;
    WriteArticulation(buf, ins + pbuf::kInsArticulation, art);
  }
  ChunkInfo lrgn;
  if (!FindFromStart(load, instrument, "lrgn", &lrgn, true)) {
    Note(load, "lrgn", "instrument without a region list");
    return kReject;
  }
  for (std::uint32_t j = 0; j < regions; ++j) {
    if (load.place) load.place->region = static_cast<std::int32_t>(j);
    if (j >= limit) {
      Note(load, "rgn ",
           drum ? "more than 128 regions in a drum kit" : "more than 32 regions in an instrument");
      return kListFull;
    }
    std::int32_t result = ParseListRGN(load, lrgn, art, list + 4 * j);
    if (result != 0) return result;
  }
  if (load.place) load.place->region = -1;
  if (!Leave(load, instrument)) {
    Note(load, "ins ", "instrument list size out of range");
    return kReject;
  }
  return 0;
}

namespace {

// A region's loop must lie inside its wave's data.
std::uint32_t CheckLoop(DlsLoad& load, std::span<const std::uint8_t> r) {
  if (GetLe32(r, rgn::kLoopCount) != 1) return 0;
  const std::uint32_t s = GetLe16(r, rgn::kBitsPerSample) == 16 ? 1 : 0;
  if ((std::uint64_t{GetLe32(r, rgn::kLoopStart)} << s) + (std::uint64_t{GetLe32(r, rgn::kLoopLength)} << s) >
      GetLe32(r, rgn::kSampleDataSize)) {
    Note(load, "wsmp", "loop reaches past the wave's data");
    return kStatusBadFile;
  }
  return 0;
}

std::uint32_t ReadCollection(DlsLoad& load) {
  auto buf = load.Buffer();
  auto rec = load.Record();
  ChunkInfo form;
  form.type = kDls;
  if (load.riff->Descend(load.file, &form, nullptr, platform::kMmioFindRiff) != 0) {
    Note(load, "RIFF", "no RIFF form of type \"DLS \"");
    return kStatusBadFile;
  }
  ChunkInfo ck;
  std::uint8_t four[4];
  if (!FindFromStart(load, form, "colh", &ck, false) || !ReadIn(load, ck, four, 4)) {
    Note(load, "colh", "collection header missing or short");
    return kStatusBadFile;
  }
  const std::uint32_t count = GetLe32(four, 0);
  if (count > pbuf::kInstrumentCount) {
    Note(load, "colh", "more than 256 instruments");
    return kStatusBadFile;
  }
  PutLe32(rec, colrec::kInstrumentCount, count);

  ChunkInfo lins;
  if (!FindFromStart(load, form, "lins", &lins, true)) {
    Note(load, "lins", "no instrument list");
    return kStatusBadFile;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::int32_t result = ParseListINS(load, lins, i);
    if (result == kRegionsExhausted) return kStatusNoEntry;
    if (result == kListFull) return kStatusIndexLimit;
    if (result != 0) return kStatusBadFile;
  }
  if (load.place) load.place->instrument = -1;

  if (!FindFromStart(load, form, "ptbl", &ck, false) ||
      !ReadIn(load, ck, buf.data() + pbuf::kPoolHeader, 8)) {
    Note(load, "ptbl", "pool table missing or short");
    return kStatusBadFile;
  }
  std::uint32_t ptblSize = GetLe32(buf, pbuf::kPoolHeader);
  if (ptblSize < 8 || !SkipIn(load, ck, ptblSize - 8)) {
    Note(load, "ptbl", "pool table header size out of range");
    return kStatusBadFile;
  }
  const std::uint32_t cues = std::min(GetLe32(buf, pbuf::kPoolHeader + 4), pbuf::kWaveCount);
  if (!ReadIn(load, ck, buf.data() + pbuf::kPoolOffsets, 4 * cues)) {
    Note(load, "ptbl", "fewer cues than the pool table declares");
    return kStatusBadFile;
  }

  ChunkInfo wvpl;
  if (!FindFromStart(load, form, "wvpl", &wvpl, true) || wvpl.size < 4) {
    Note(load, "wvpl", "no wave pool");
    return kStatusBadFile;
  }
  const std::uint32_t poolSize = wvpl.size - 4;
  const std::uint32_t poolStart = ListStart(wvpl);
  const std::int32_t fileSize = load.riff->Seek(load.file, 0, 2);
  if (fileSize < 0 || std::uint64_t{poolStart} + poolSize > std::uint64_t(fileSize)) {
    Note(load, "wvpl", "wave pool cut short");
    return kStatusBadFile;
  }

  // Every region is checked against the pool before the pool is taken, so that a refused file leaves the
  // data area as it was.
  auto forEachRegion = [&](auto&& visit) -> std::uint32_t {
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t slot = insslot::At(i);
      const std::uint32_t regions = GetLe32(rec, slot + insslot::kRegionCount);
      const bool drum = GetLe32(rec, slot + insslot::kDrumFlag) != 0;
      const std::uint32_t kitNumber = GetLe16(rec, slot + insslot::kDrumKit);
      if (load.place) load.place->instrument = static_cast<std::int32_t>(i);
      for (std::uint32_t j = 0; j < regions; ++j) {
        if (load.place) {
          load.place->region = static_cast<std::int32_t>(j);
          load.place->wave = -1;
        }
        std::uint32_t list;
        if (!drum) {
          if (j >= pbuf::kMelodicListLength) return kStatusIndexLimit;
          list = pbuf::MelodicList(i);
        } else {
          if (kitNumber >= pbuf::kDrumKitCount || j >= pbuf::kDrumListLength) return kStatusIndexLimit;
          list = pbuf::DrumList(kitNumber);
        }
        auto r = load.env.Map(GetLe32(buf, list + 4 * j), rgn::kSize);
        if (r.empty()) return kStatusBadFile;
        if (std::uint32_t status = visit(r); status != 0) return status;
      }
    }
    if (load.place) load.place->instrument = load.place->region = load.place->wave = -1;
    return 0;
  };

  // What the pool says of each wave (its format, where its data lies) is read once: many regions share a
  // wave, and each visit of the file costs a seek and a buffer refill. Without the memory for it, every
  // region reads its wave again.
  constexpr std::uint32_t kWaveFacts = rgn::kWaveRecord - rgn::kFormatTag;
  struct WaveFacts {
    bool known = false;
    std::uint8_t bytes[kWaveFacts];
  };
  std::unique_ptr<WaveFacts[]> facts(new (std::nothrow) WaveFacts[cues]);

  std::uint32_t status = forEachRegion([&](std::span<std::uint8_t> r) -> std::uint32_t {
    const std::uint32_t table = GetLe32(r, rgn::kTableIndex);
    if (load.place) load.place->wave = static_cast<std::int32_t>(table);
    if (table >= cues) {
      Note(load, "wlnk", "pool table index beyond the cues");
      return kStatusBadFile;
    }
    if (facts && facts[table].known) {
      std::memcpy(r.data() + rgn::kFormatTag, facts[table].bytes, kWaveFacts);
      return CheckLoop(load, r);
    }
    const std::uint32_t cue = GetLe32(buf, pbuf::kPoolOffsets + 4 * table);
    ChunkInfo waveList;
    if (cue >= poolSize || !SeekTo(load, std::uint64_t{poolStart} + cue) ||
        !Find(load, wvpl, "wave", &waveList, true)) {
      Note(load, "ptbl", "cue does not lead to a wave in the pool");
      return kStatusBadFile;
    }
    if (!Find(load, waveList, "fmt ", &ck, false) || !ReadIn(load, ck, r.data() + rgn::kFormatTag, 16)) {
      Note(load, "fmt ", "wave format missing or short");
      return kStatusBadFile;
    }
    const std::uint32_t bits = GetLe16(r, rgn::kBitsPerSample);
    if (GetLe16(r, rgn::kFormatTag) != 1 || GetLe16(r, rgn::kChannels) != 1 || (bits != 8 && bits != 16)) {
      Note(load, "fmt ", "wave is not mono PCM of 8 or 16 bits");
      return kStatusBadFile;
    }
    ChunkInfo data;
    if (!FindFromStart(load, waveList, "data", &data, false) || data.dataOffset < poolStart ||
        std::uint64_t{data.dataOffset} - poolStart + data.size > poolSize ||
        ChunkEnd(data) > ChunkEnd(waveList)) {
      Note(load, "data", "wave data missing or outside the wave pool");
      return kStatusBadFile;
    }
    PutLe32(r, rgn::kSampleDataOffset, data.dataOffset - poolStart);
    PutLe32(r, rgn::kSampleDataSize, data.size);
    if (facts) {
      facts[table].known = true;
      std::memcpy(facts[table].bytes, r.data() + rgn::kFormatTag, kWaveFacts);
    }
    return CheckLoop(load, r);
  });
  facts.reset();
  if (status != 0) return status;

  std::uint32_t poolOffset = 0;
  platform::LinearAddress pool =
      AllocDlsBuf(load.env, static_cast<std::uint16_t>(load.collection), poolSize, &poolOffset);
  if (pool == 0) {
    Note(load, "wvpl", "the wave pool does not fit the free DLS memory");
    return kStatusNoRoom;
  }
  PutLe32(rec, colrec::kPoolAddress, pool);
  PutLe32(rec, colrec::kPoolSize, poolSize);
  PutLe32(rec, colrec::kPoolOffset, poolOffset);
  auto image = load.env.Map(pool, poolSize);
  if (image.size() != poolSize || !SeekTo(load, poolStart) || !ReadIn(load, wvpl, image.data(), poolSize)) {
    Note(load, "wvpl", "wave pool cut short");
    return kStatusBadFile;
  }

  // Each wave is converted and set up once, by the first region that uses it.
  status = forEachRegion([&](std::span<std::uint8_t> r) -> std::uint32_t {
    const std::uint32_t waveAddress = GetWaveInfo(load, GetLe32(r, rgn::kTableIndex));
    PutLe32(r, rgn::kWaveRecord, waveAddress);
    auto w = load.env.Map(waveAddress, wave::kSize);
    const std::uint32_t bits = GetLe16(r, rgn::kBitsPerSample);
    auto samples = image.subspan(GetLe32(r, rgn::kSampleDataOffset), GetLe32(r, rgn::kSampleDataSize));
    if (GetLe32(w, wave::kConverted) == 0) {
      ConvertWaveData(samples, bits);
      PutLe32(w, wave::kConverted, 1);
    }
    if (GetLe32(w, wave::kSetUp) == 0 &&
        !SetUpWave(samples, bits, GetLe32(r, rgn::kLoopCount) == 1, GetLe32(r, rgn::kLoopStart),
                   GetLe32(r, rgn::kLoopLength), w))
      return kStatusBadFile;
    return 0;
  });
  if (status != 0) return status;
  if (load.place) load.place->instrument = load.place->region = load.place->wave = -1;
  Leave(load, wvpl);
  return 0;
}

}  // namespace

std::uint32_t OpenDLSFile(DlsLoad& load, const char* fileName) {
  auto rec = load.Record();
  if (rec.empty() || load.Buffer().empty() || !load.riff) return 4;
  PutLe32(rec, colrec::kPoolAddress, 0);
  load.file = load.riff->Open(fileName);
  if (load.file == 0) {
    Note(load, "    ", "the file cannot be opened");
    return kStatusOpenFailed;
  }
  std::uint32_t status = ReadCollection(load);
  load.riff->Close(load.file);
  load.file = 0;
  if (status != 0 && GetLe32(rec, colrec::kPoolAddress) != 0) {
    DeallocDlsBuf(load.env, load.collection);
    PutLe32(rec, colrec::kPoolAddress, 0);
  }
  return status;
}

}  // namespace dls
