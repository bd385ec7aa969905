// DLS files read, downloaded and released through the exported functions on a simulated PC.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "basedrv/dls/collections.h"
#include "basedrv/dls/dls_api.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/dls/ldr_dls.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/hal/tests/hal_fixture.h"
#include "basedrv/j6base.h"
#include "mem_invariants.h"
#include "sim/dls_writer.h"

namespace {

namespace cdb = dls::cdb;
namespace card = dls::card;
using Bytes = std::vector<std::uint8_t>;
using sim::dlsw::Collection;
using sim::dlsw::Instrument;
using sim::dlsw::Region;
using sim::dlsw::Wave;

// ---------------------------------------------------------------------------------------------------
// The rewrite of one wave's samples.

struct WaveCase {
  const char* name;
  std::uint32_t bits;
  Bytes data;
  bool looped;
  std::uint32_t loopStart, loopLength;
  Bytes after;
  std::int16_t first, loopSample;
};

class WaveRewrite : public ::testing::TestWithParam<WaveCase> {};

TEST_P(WaveRewrite, converts_once_and_moves_the_held_samples_out) {
  const WaveCase& c = GetParam();
  Bytes data = c.data;
  std::uint8_t record[dls::wave::kSize] = {};
  dls::ConvertWaveData(data, c.bits);
  ASSERT_TRUE(dls::SetUpWave(data, c.bits, c.looped, c.loopStart, c.loopLength, record));
  EXPECT_EQ(data, c.after);
  EXPECT_EQ(static_cast<std::int16_t>(dls::GetLe16(record, dls::wave::kFirstSample)), c.first);
  EXPECT_EQ(static_cast<std::int16_t>(dls::GetLe16(record, dls::wave::kLoopStartSample)), c.loopSample);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveRewrite,
    ::testing::Values(
        WaveCase{"unlooped_8bit", 8, {0x00, 0x80, 0xFF}, false, 0, 0, {0x00, 0x7F, 0x7F}, -32768, 0},
        WaveCase{
            "unlooped_16bit", 16, {0x34, 0x12, 0x78, 0x56}, false, 0, 0, {0x56, 0x78, 0x56, 0x78}, 0x1234, 0},
        WaveCase{"looped_8bit_start_4_length_4",
                 8,
                 {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89},
                 true,
                 4,
                 4,
                 {1, 2, 3, 5, 6, 7, 6, 7, 8, 9},
                 0,
                 4 * 256},
        // The loop body follows the loop-start sample straight away; nothing moves below the data.
        WaveCase{
            "loop_at_first_sample", 8, {0x80, 0x81, 0x82, 0x83, 0x84}, true, 0, 3, {1, 2, 2, 3, 4}, 0, 0},
        WaveCase{"empty_wave", 8, {}, false, 0, 0, {}, 0, 0},
        WaveCase{"lone_byte_of_16bit_wave", 16, {0x12}, false, 0, 0, {0x12}, 0, 0},
        // The odd byte is no sample: it is not swapped, and the move stays inside the data.
        WaveCase{"odd_16bit_stays_inside_its_data",
                 16,
                 {0x34, 0x12, 0x99},
                 false,
                 0,
                 0,
                 {0x99, 0x34, 0x99},
                 0x1234,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveRewrite, a_loop_past_the_data_is_refused) {
  Bytes data(8, 0);
  std::uint8_t record[dls::wave::kSize] = {};
  EXPECT_FALSE(dls::SetUpWave(data, 16, true, 2, 3, record));
  EXPECT_FALSE(dls::SetUpWave(data, 8, true, 0xFFFFFFFF, 2, record)) << "no wrap of start plus length";
}

// ---------------------------------------------------------------------------------------------------
// Loading on the card.

class DlsOnCard : public haltest::SimPc {
 protected:
  void SetUp() override {
    InitCard();
    ASSERT_EQ(DLSOpen(&client_, 0), 0u);
  }
  dls::DlsEnv Env() { return j6base::CurrentDlsEnv(); }
  dls::CommonBlock Block() { return Env().Common(); }

  std::string Put(const std::string& name, const Bytes& bytes) {
    std::ofstream out(machine_->DriveRoot() / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return "C:\\" + name;
  }
  std::string Put(const std::string& name, const Collection& c) { return Put(name, sim::dlsw::WriteDls(c)); }

  std::uint32_t LoadFile(const std::string& path, std::uint32_t flags = 0, std::uint32_t client = ~0u) {
    collection_ = 0;
    return DLSLoadFile(client == ~0u ? client_ : client, flags, &collection_, path.c_str());
  }

  // Common block, table area and data area.
  Bytes Image() {
    auto b = Block();
    Bytes image(b.Bytes().begin(), b.Bytes().end());
    auto env = Env();
    auto tables = env.Map(b.Get32(cdb::kLpTableArea), b.Get32(cdb::kDwTableAreaSize));
    auto data = env.Map(b.Get32(cdb::kLpDataArea), dls::DlsDataAreaCapacity(b));
    image.insert(image.end(), tables.begin(), tables.end());
    image.insert(image.end(), data.begin(), data.end());
    return image;
  }
  std::vector<std::uint16_t> Owners() {
    auto b = Block();
    std::vector<std::uint16_t> owners;
    for (std::uint32_t p = 0; p < cdb::kPatchCount; ++p)
      owners.push_back(b.Get16(dls::CommonBlock::Patch(p) + 2));
    for (std::uint32_t s = 0; s < cdb::kSplitCount; ++s)
      owners.push_back(b.Get16(dls::CommonBlock::SplitOwner(s)));
    for (std::uint32_t d = 0; d < cdb::kDrumInstCount; ++d)
      owners.push_back(b.Get16(dls::CommonBlock::DrumInstOwner(d)));
    for (std::uint32_t k = 0; k < cdb::kDrumPatchCount; ++k)
      owners.push_back(b.Get16(dls::CommonBlock::DrumPatch(k) + 1));
    for (std::uint32_t c = 0; c < cdb::kCollectionCount; ++c)
      owners.push_back(static_cast<std::uint16_t>(b.Get32(dls::CommonBlock::Collection(c))));
    return owners;
  }
  std::span<std::uint8_t> Record(std::uint32_t c) {
    return Env().Map(dls::CollectionRecord(Block(), c), dls::colrec::kSize);
  }
  std::uint16_t PatchOf(std::uint32_t c, std::uint32_t instrument) {
    return dls::GetLe16(Record(c), dls::insslot::At(instrument) + dls::insslot::kPatch);
  }
  std::uint64_t GlobalInUse() { return processes_.back()->process->Memory().GlobalBytesInUse(); }
  void ExpectSound() {
    auto problems = dls_test::CheckMemInvariants(Env());
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  }

  std::uint32_t client_ = 0;
  std::uint32_t collection_ = 0;
};

Collection OneInstrument(std::uint32_t program = 0) {
  Collection c;
  Wave w;
  w.data = sim::dlsw::Ramp16(16);
  c.waves = {w};
  Instrument ins;
  ins.program = program;
  ins.regions = {Region{}};
  c.instruments = {ins};
  return c;
}

Collection Kit(std::uint32_t program, std::vector<std::uint16_t> keys) {
  Collection c;
  Wave w;
  w.bits = 8;
  w.data = sim::dlsw::Ramp8(8);
  c.waves = {w};
  Instrument kit;
  kit.drum = true;
  kit.program = program;
  for (std::uint16_t k : keys) {
    Region r;
    r.keyLow = r.keyHigh = k;
    kit.regions.push_back(r);
  }
  c.instruments = {kit};
  return c;
}

TEST_F(DlsOnCard, small_collection_takes_its_slots_and_writes_the_card_records) {
  // Channel 10 selects kit 0/0, channel 1 plays the melodic instrument: both are told.
  Block().Set8(cdb::kBChanChange + 9, 0);
  const std::uint8_t change0 = Block().Get8(cdb::kBChanChange), change9 = Block().Get8(cdb::kBChanChange + 9);
  ASSERT_EQ(LoadFile(Put("small.dls", sim::dlsw::SmallCollection())), 0u);
  EXPECT_EQ(collection_, 0u);
  auto b = Block();
  auto rec = Record(0);
  EXPECT_EQ(dls::GetLe32(rec, dls::colrec::kInstrumentCount), 2u);
  EXPECT_EQ(dls::GetLe32(rec, dls::colrec::kDrumKitCount), 1u);
  const std::uint16_t patch = PatchOf(0, 0);
  EXPECT_EQ(patch, 0);
  EXPECT_EQ(b.Get16(dls::CommonBlock::Patch(patch) + cdb::kPatchOwner), 0);
  EXPECT_EQ(b.Get8(dls::CommonBlock::Patch(patch) + cdb::kPatchStable), 1);
  EXPECT_EQ(b.Get16(dls::CommonBlock::SplitOwner(0)), 0);
  EXPECT_EQ(b.Get16(dls::CommonBlock::SplitOwner(1)), 0xFFFF);
  // The one split is the last one; its sample points into the pool block.
  auto split = Env().Map(b.Get32(cdb::kLpSplitTable), 20);
  EXPECT_EQ(split[0], 0x80);
  EXPECT_EQ(split[1], 0x00);
  std::uint32_t address = dls::FarGet4Bytes(split, 2) & card::kAddressMask;
  std::uint32_t pool = dls::GetLe32(rec, dls::colrec::kPoolOffset);
  EXPECT_GE(address, card::kRomOffset + b.Get32(cdb::kDwDataCardAddr) + pool);
  // Looped 16-bit wave: loop start 16 samples, length 32.
  EXPECT_EQ(dls::FarGet3Bytes(split, 6), 15u);
  EXPECT_EQ(dls::FarGet3Bytes(split, 11), 31u);

  // The drum kit: a drum patch slot whose table starts as the General MIDI one, keys 35 and 38 replaced.
  auto kitRec = Env().Map(dls::GetLe32(rec, dls::colrec::kDrumKits), dls::kit::kSize);
  const std::uint16_t drumPatch = dls::GetLe16(kitRec, dls::kit::kDrumPatch);
  ASSERT_EQ(drumPatch, 0);
  auto table = Env().Map(b.Get32(dls::CommonBlock::DrumPatch(0) + cdb::kDrumPatchTablePtr), 512);
  auto gm = b.Bytes().subspan(cdb::kDrumPatchTable, 512);
  for (std::uint32_t key = 0; key < 128; ++key) {
    bool own = key == 35 || key == 38;
    EXPECT_EQ(std::equal(gm.begin() + 4 * key, gm.begin() + 4 * key + 4, table.begin() + 4 * key), !own)
        << key;
  }
  EXPECT_EQ(b.Get16(cdb::kWCurDrumPatch), 0) << "channel 10 selects bank 0 program 0";
  EXPECT_NE(b.Get8(cdb::kBChanChange), change0);
  EXPECT_NE(b.Get8(cdb::kBChanChange + 9), change9);
  EXPECT_EQ(GlobalInUse(), 0u) << "the parse buffer is freed";
  ExpectSound();
}

TEST_F(DlsOnCard, chunk_order_inside_a_list_does_not_matter) {
  Collection c = sim::dlsw::SmallCollection();
  c.reversed = true;
  EXPECT_EQ(LoadFile(Put("reversed.dls", c)), 0u);
}

TEST_F(DlsOnCard, region_declaring_two_loops_loads_unlooped) {
  Collection c = OneInstrument();
  c.instruments[0].regions[0].loops = {{2, 4}, {1, 2}};
  ASSERT_EQ(LoadFile(Put("two.dls", c)), 0u);
  auto split = Env().Map(Block().Get32(cdb::kLpSplitTable), 20);
  EXPECT_EQ(dls::FarGet3Bytes(split, 6), 15u) << "sample count less one";
  EXPECT_EQ(dls::FarGet3Bytes(split, 11), 0u);
}

// Files the reader refuses: the status, and nothing left behind, byte for byte.
struct Refusal {
  const char* name;
  std::function<Bytes()> file;
  std::uint32_t status;
};

Bytes Written(const std::function<void(Collection&)>& change) {
  Collection c = sim::dlsw::SmallCollection();
  change(c);
  return sim::dlsw::WriteDls(c);
}

// Sets the size field of the first chunk with this id.
Bytes WithSize(Bytes bytes, const char* id, std::uint32_t size) {
  for (std::size_t i = 0; i + 8 <= bytes.size(); ++i)
    if (std::equal(id, id + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i))) {
      dls::PutLe32(bytes, static_cast<std::uint32_t>(i + 4), size);
      break;
    }
  return bytes;
}

Collection ManyRegions(std::uint32_t instruments, std::uint32_t regions, bool drum) {
  Collection c;
  Wave w;
  w.bits = 8;
  w.data = {1, 2};
  c.waves = {w};
  for (std::uint32_t i = 0; i < instruments; ++i) {
    Instrument ins;
    ins.program = i;
    ins.drum = drum;
    for (std::uint32_t r = 0; r < regions; ++r) {
      Region reg;
      reg.keyLow = reg.keyHigh = static_cast<std::uint16_t>(r % 128);
      ins.regions.push_back(reg);
    }
    c.instruments.push_back(ins);
  }
  return c;
}

class Refused : public DlsOnCard, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refused, status_and_nothing_changed) {
  // Something loaded already, so the block table has more than one entry to keep.
  ASSERT_EQ(LoadFile(Put("first.dls", OneInstrument(7))), 0u);
  const Bytes before = Image();
  const std::uint32_t shared = Vxd().SharedAllocations();
  const std::uint64_t global = GlobalInUse();
  EXPECT_EQ(LoadFile(Put("bad.dls", GetParam().file())), GetParam().status);
  EXPECT_EQ(collection_, 0xFFFFFFFFu);
  EXPECT_TRUE(Image() == before) << "common block, table area and data area as they were";
  EXPECT_EQ(Vxd().SharedAllocations(), shared);
  EXPECT_EQ(GlobalInUse(), global);
  ExpectSound();
}

INSTANTIATE_TEST_SUITE_P(
    Reader, Refused,
    ::testing::Values(
        Refusal{"not_a_dls_form", [] { return Written([](Collection& c) { c.formType = "WAVE"; }); }, 11},
        Refusal{"no_colh", [] { return Written([](Collection& c) { c.omit = {"colh"}; }); }, 11},
        Refusal{"no_lins", [] { return Written([](Collection& c) { c.omit = {"lins"}; }); }, 11},
        Refusal{"no_ptbl", [] { return Written([](Collection& c) { c.omit = {"ptbl"}; }); }, 11},
        Refusal{"no_wvpl", [] { return Written([](Collection& c) { c.omit = {"wvpl"}; }); }, 11},
        Refusal{"more_than_256_instruments",
                [] { return Written([](Collection& c) { c.instrumentCount = 257; }); }, 11},
        Refusal{"fewer_instruments_than_declared",
                [] { return Written([](Collection& c) { c.instrumentCount = 3; }); }, 11},
        Refusal{"lart_without_art1",
                [] {
                  return Written([](Collection& c) {
                    c.instruments[0].art = sim::dlsw::Articulation{};
                    c.instruments[0].art->noArt1 = true;
                  });
                },
                11},
        Refusal{"art1_declares_more_connections_than_it_holds",
                [] {
                  Bytes b = Written([](Collection& c) {
                    sim::dlsw::Connection lfo;
                    lfo.destination = 0x0104;
                    c.instruments[0].art = sim::dlsw::Articulation{};
                    c.instruments[0].art->connections = {lfo};
                  });
                  for (std::size_t i = 0; i + 4 <= b.size(); ++i)
                    if (std::equal(b.begin() + static_cast<std::ptrdiff_t>(i),
                                   b.begin() + static_cast<std::ptrdiff_t>(i) + 4, "art1"))
                      dls::PutLe32(b, static_cast<std::uint32_t>(i + 12), 0x7FFFFFFF);
                  return b;
                },
                11},
        Refusal{"loop_type_1",
                [] { return Written([](Collection& c) { c.instruments[0].regions[0].loops[0].type = 1; }); },
                11},
        Refusal{"wsmp_size_below_20",
                [] { return Written([](Collection& c) { c.instruments[0].regions[0].wsmpSize = 16; }); }, 11},
        Refusal{"no_wlnk",
                [] { return Written([](Collection& c) { c.instruments[0].regions[0].omit = {"wlnk"}; }); },
                11},
        Refusal{"stereo_wave", [] { return Written([](Collection& c) { c.waves[0].channels = 2; }); }, 11},
        Refusal{"not_pcm", [] { return Written([](Collection& c) { c.waves[0].formatTag = 3; }); }, 11},
        Refusal{"24_bit_wave", [] { return Written([](Collection& c) { c.waves[0].bits = 24; }); }, 11},
        Refusal{"wave_without_data", [] { return Written([](Collection& c) { c.waves[1].noData = true; }); },
                11},
        Refusal{"pool_index_beyond_the_cues",
                [] { return Written([](Collection& c) { c.instruments[0].regions[0].wave = 3; }); }, 11},
        Refusal{"cue_outside_the_pool",
                [] {
                  return Written([](Collection& c) { c.cues = std::vector<std::uint32_t>{0x100000, 0, 0}; });
                },
                11},
        Refusal{"loop_past_the_wave_data",
                [] { return Written([](Collection& c) {
                       c.instruments[0].regions[0].loops[0] = {60, 8};
                     }); },
                11},
        // The wave's facts are read once; each region's own loop is still checked against them.
        Refusal{"second_region_of_a_wave_loops_past_its_data",
                [] {
                  return Written([](Collection& c) {
                    auto& regions = c.instruments[0].regions;
                    regions[0].keyHigh = 63;
                    auto second = regions[0];
                    second.keyLow = 64;
                    second.keyHigh = 127;
                    second.loops = {{60, 8}};
                    regions.push_back(second);
                  });
                },
                11},
        Refusal{"loop_length_near_2_to_32",
                [] {
                  return Written([](Collection& c) {
                    c.instruments[0].regions[0].loops[0] = {4, 0xFFFFFFF0};
                  });
                },
                11},
        Refusal{"data_chunk_reaching_past_the_pool",
                [] { return WithSize(Written([](Collection&) {}), "data", 0x00FFFFFF); }, 11},
        Refusal{"instrument_list_size_near_2_to_32",
                [] { return WithSize(Written([](Collection&) {}), "insh", 0xFFFFFFF8); }, 11},
        Refusal{"pool_table_size_near_2_to_32",
                [] { return WithSize(Written([](Collection&) {}), "ptbl", 0xFFFFFFFE); }, 11},
        Refusal{"33rd_drum_kit", [] { return sim::dlsw::WriteDls(ManyRegions(33, 1, true)); }, 11},
        Refusal{"melodic_instrument_with_33_regions",
                [] { return sim::dlsw::WriteDls(ManyRegions(1, 33, false)); }, 7},
        Refusal{"drum_kit_with_129_regions", [] { return sim::dlsw::WriteDls(ManyRegions(1, 129, true)); },
                7},
        Refusal{"the_2001st_region", [] { return sim::dlsw::WriteDls(ManyRegions(63, 32, false)); }, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Files the download refuses: the status, and no slot, record or memory block left taken.
class RefusedDownload : public DlsOnCard, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedDownload, status_and_nothing_taken) {
  ASSERT_EQ(LoadFile(Put("first.dls", OneInstrument(7))), 0u);
  const auto owners = Owners();
  const std::uint32_t free = dls::GetDlsDataBufSize(Env());
  const std::uint32_t shared = Vxd().SharedAllocations();
  EXPECT_EQ(LoadFile(Put("bad.dls", GetParam().file())), GetParam().status);
  EXPECT_EQ(collection_, 0xFFFFFFFFu);
  EXPECT_EQ(Owners(), owners);
  EXPECT_EQ(dls::GetDlsDataBufSize(Env()), free);
  EXPECT_EQ(Vxd().SharedAllocations(), shared);
  EXPECT_EQ(GlobalInUse(), 0u);
  ExpectSound();
}

INSTANTIATE_TEST_SUITE_P(
    Download, RefusedDownload,
    ::testing::Values(
        Refusal{"same_bank_and_program", [] { return sim::dlsw::WriteDls(OneInstrument(7)); }, 12},
        Refusal{"program_128", [] { return sim::dlsw::WriteDls(OneInstrument(128)); }, 4},
        Refusal{"melodic_instrument_without_regions",
                [] {
                  Collection c = OneInstrument(1);
                  c.instruments[0].regions.clear();
                  return sim::dlsw::WriteDls(c);
                },
                11},
        Refusal{"drum_region_over_two_keys",
                [] {
                  Collection c = Kit(3, {35});
                  c.instruments[0].regions[0].keyHigh = 36;
                  return sim::dlsw::WriteDls(c);
                },
                11},
        Refusal{"drum_key_128",
                [] {
                  return sim::dlsw::WriteDls(Kit(3, {36, 128}));
                },
                11},
        Refusal{"no_instruments", [] { return Written([](Collection& c) { c.instruments.clear(); }); }, 9},
        Refusal{"kit_after_a_good_instrument_fails",
                [] {
                  Collection c = OneInstrument(1);
                  Collection k = Kit(3, {200});
                  k.instruments[0].regions[0].keyLow = k.instruments[0].regions[0].keyHigh = 200;
                  c.instruments.push_back(k.instruments[0]);
                  return sim::dlsw::WriteDls(c);
                },
                11}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DlsOnCard, names_and_files_checked_before_anything_is_taken) {
  EXPECT_EQ(LoadFile("C:\\missing.dls"), 6u);
  std::string name = "C:\\" + std::string(120, 'a') + ".dls";  // 127 characters
  ASSERT_EQ(name.size(), 127u);
  EXPECT_EQ(LoadFile(name), 6u) << "a 127-character name proceeds";
  EXPECT_EQ(LoadFile(name + "x"), 4u);
  EXPECT_EQ(collection_, 0xFFFFFFFFu);
  EXPECT_EQ(DLSLoadFile(client_, 0, &collection_, nullptr), 4u);
  EXPECT_EQ(LoadFile(Put("a.dls", OneInstrument()), 0, client_ + 1), 5u);
}

TEST_F(DlsOnCard, pool_table_keeps_its_first_1000_cues) {
  Collection c = OneInstrument();
  c.cues = std::vector<std::uint32_t>(1200, 0);
  EXPECT_EQ(LoadFile(Put("cues.dls", c)), 0u);
  c.instruments[0].regions[0].wave = 1000;
  c.instruments[0].program = 1;
  EXPECT_EQ(LoadFile(Put("cue1000.dls", c)), 11u);
}

TEST_F(DlsOnCard, a_second_instrument_of_a_kit_shares_it) {
  Collection c = Kit(4, {35, 36});
  Instrument again = c.instruments[0];
  again.regions.resize(1);
  again.regions[0].keyLow = again.regions[0].keyHigh = 40;
  c.instruments.push_back(again);
  ASSERT_EQ(LoadFile(Put("shared.dls", c)), 0u);
  auto rec = Record(collection_);
  EXPECT_EQ(dls::GetLe32(rec, dls::colrec::kDrumKitCount), 1u);
  auto kitRec = Env().Map(dls::GetLe32(rec, dls::colrec::kDrumKits), dls::kit::kSize);
  EXPECT_EQ(dls::GetLe32(kitRec, dls::kit::kRegionCount), 2u) << "the count recorded first";
}

TEST_F(DlsOnCard, replace_unload_close_and_compact_across_two_clients) {
  const std::uint32_t shared0 = Vxd().SharedAllocations();
  // Client A loads two collections and leaves them loaded.
  ASSERT_EQ(LoadFile(Put("a1.dls", OneInstrument(1))), 0u);
  const std::uint32_t a1 = collection_;
  Collection a2 = OneInstrument(2);
  a2.instruments.push_back(Kit(5, {35}).instruments[0]);
  a2.waves.push_back(Kit(5, {35}).waves[0]);
  a2.instruments[1].regions[0].wave = 1;
  ASSERT_EQ(LoadFile(Put("a2.dls", a2)), 0u);
  const std::uint32_t a2c = collection_;
  const std::uint32_t clientA = client_;
  ASSERT_EQ(DLSClose(clientA, 1), 0u);
  EXPECT_NE(dls::CollectionRecord(Block(), a1), 0u) << "flag 1 keeps them";

  // Client B: program 1 again fails, then replaces A's; A's collection, now empty, is freed.
  std::uint32_t clientB = 0;
  ASSERT_EQ(DLSOpen(&clientB, 0), 0u);
  EXPECT_EQ(clientB, clientA + 1);
  client_ = clientB;
  EXPECT_EQ(LoadFile(Put("b1.dls", OneInstrument(1))), 12u);
  ASSERT_EQ(LoadFile(Put("b1.dls", OneInstrument(1)), dls::kLoadReplace), 0u);
  const std::uint32_t b1 = collection_;
  EXPECT_EQ(Block().Get32(dls::CommonBlock::Collection(a1)), cdb::kNoClient) << "nothing of it remained";
  // The kit of A is replaced too, and A's second collection keeps its melodic instrument.
  ASSERT_EQ(LoadFile(Put("b2.dls", Kit(5, {36})), dls::kLoadReplace), 0u);
  const std::uint32_t b2 = collection_;
  EXPECT_NE(PatchOf(a2c, 0), dls::kNoSlot);
  EXPECT_EQ(DLSUnloadFile(clientB, a2c), 14u) << "another client's collection";
  ExpectSound();

  // Compaction moves B's blocks down past the hole A's first collection left.
  const std::uint32_t largest = dls::GetDlsLargestBuf(Env());
  EXPECT_EQ(DLSCompactMemory(0), 0u);
  EXPECT_GE(dls::GetDlsLargestBuf(Env()), largest);
  ExpectSound();

  // Closing without flag 1 unloads exactly B's collections; flag 8 compacts.
  ASSERT_EQ(DLSClose(clientB, 8), 0u);
  auto b = Block();
  EXPECT_EQ(b.Get32(dls::CommonBlock::Collection(b1)), cdb::kNoClient);
  EXPECT_EQ(b.Get32(dls::CommonBlock::Collection(b2)), cdb::kNoClient);
  EXPECT_EQ(b.Get32(dls::CommonBlock::Collection(a2c)), clientA);
  ExpectSound();

  // A later client removes A's leftovers with DLSUnloadAll without flag 1.
  std::uint32_t clientC = 0;
  ASSERT_EQ(DLSOpen(&clientC, 0), 0u);
  EXPECT_EQ(DLSUnloadAll(clientC, 1), 0u);
  EXPECT_EQ(Block().Get32(dls::CommonBlock::Collection(a2c)), clientA);
  EXPECT_EQ(DLSUnloadAll(clientC, 0), 0u);
  EXPECT_EQ(Block().Get32(dls::CommonBlock::Collection(a2c)), cdb::kNoClient);
  for (std::uint32_t p = 0; p < cdb::kPatchCount; ++p)
    ASSERT_EQ(Block().Get16(dls::CommonBlock::Patch(p) + 2), 0xFFFF) << p;
  EXPECT_EQ(dls::GetDlsDataBufSize(Env()), dls::DlsDataAreaCapacity(Block()));
  EXPECT_EQ(Vxd().SharedAllocations(), shared0);
  ExpectSound();
}

TEST_F(DlsOnCard, unloading_signals_the_channels_that_play_the_instrument) {
  ASSERT_EQ(LoadFile(Put("p9.dls", OneInstrument(9))), 0u);
  auto b = Block();
  b.Set16(cdb::kWChanProgram + 2 * 2, 9);  // channel 3
  b.Set8(cdb::kBChanAck + 2, 0);
  b.Set8(cdb::kBChanChange + 2, 0);
  const std::uint8_t channel1 = b.Get8(cdb::kBChanChange + 0);
  ASSERT_EQ(DLSUnloadFile(client_, collection_), 0u);
  EXPECT_EQ(b.Get8(cdb::kBChanChange + 2), 1);
  EXPECT_EQ(b.Get8(cdb::kBChanChange + 0), channel1);
}

// ---------------------------------------------------------------------------------------------------
// The client and the other exports.

TEST_F(DlsOnCard, one_client_at_a_time_with_handles_that_wrap_before_the_wildcard) {
  std::uint32_t other = 77;
  EXPECT_EQ(DLSOpen(&other, 0), 3u);
  EXPECT_EQ(other, 77u);
  EXPECT_EQ(DLSClose(client_ + 1, 0), 4u);
  ASSERT_EQ(DLSClose(client_, 0), 0u);
  EXPECT_EQ(DLSClose(client_, 0), 4u) << "no client open";
  Block().Set32(cdb::kDwClientHandle, 0xFFFFFFEE);
  ASSERT_EQ(DLSOpen(&other, 0), 0u);
  EXPECT_EQ(other, 0xFFFFFFEFu);
  ASSERT_EQ(DLSClose(other, 0), 0u);
  ASSERT_EQ(DLSOpen(&other, 0), 0u);
  EXPECT_EQ(other, 0u);
}

TEST_F(DlsOnCard, unload_file_checks) {
  ASSERT_EQ(LoadFile(Put("a.dls", OneInstrument())), 0u);
  EXPECT_EQ(DLSUnloadFile(client_ + 1, collection_), 5u);
  EXPECT_EQ(DLSUnloadFile(client_, 0xFFFFFFFF), 4u);
  EXPECT_EQ(DLSUnloadFile(client_, 256), 4u) << "no entry past 255";
  EXPECT_EQ(DLSUnloadFile(client_, 0x12340000 | collection_), 0u) << "the low 16 bits select";
  ExpectSound();
}

TEST_F(DlsOnCard, get_info_and_ram_size) {
  std::uint32_t info[8];
  std::fill(std::begin(info), std::end(info), 0xAAAAAAAA);
  info[0] = 31;
  EXPECT_EQ(DLSGetInfo(info), 4u);
  EXPECT_EQ(info[1], 0xAAAAAAAAu);
  info[0] = 32;
  ASSERT_EQ(DLSGetInfo(info), 0u);
  EXPECT_EQ(info[1], 0x00010000u);
  EXPECT_EQ(info[2], 0u);
  EXPECT_EQ(info[3], Block().Get32(cdb::kDwDlsRamSize));
  EXPECT_EQ(info[4], dls::GetDlsDataBufSize(Env()));
  EXPECT_EQ(info[5], dls::GetDlsLargestBuf(Env()));
  EXPECT_EQ(info[6], 1u);

  std::int32_t record[2] = {8, 17 * 1024 * 1024};
  const std::uint32_t ram = Block().Get32(cdb::kDwDlsRamSize);
  EXPECT_EQ(DLSSetAttribute(client_, 1, record), 21u);
  record[1] = -1;
  EXPECT_EQ(DLSSetAttribute(client_, 1, record), 21u);
  EXPECT_EQ(Block().Get32(cdb::kDwDlsRamSize), ram);
  record[0] = 7;
  EXPECT_EQ(DLSSetAttribute(client_, 1, record), 4u);
  EXPECT_EQ(DLSSetAttribute(client_, 2, record), 15u);
  record[0] = 8;
  record[1] = 4 * 1024 * 1024;
  EXPECT_EQ(DLSSetAttribute(client_, 1, record), 4u)
      << "the driver's key is missing: the registry write fails";
  platform::Registry* registry = processes_.back()->process->Os().registry;
  platform::HKey key = 0;
  ASSERT_EQ(registry->CreateKey(platform::kHkeyLocalMachine,
                                "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS", &key),
            0u);
  registry->CloseKey(key);
  EXPECT_EQ(DLSSetAttribute(client_, 1, record), 0u);
  EXPECT_EQ(Block().Get32(cdb::kDwDlsRamSize), 4u * 1024 * 1024);
}

TEST_F(DlsOnCard, without_a_common_block_every_export_refuses_and_touches_nothing) {
  shared_.glpDls = 0;
  std::uint32_t handle = 0, collection = 0;
  std::uint32_t info[8] = {32};
  EXPECT_EQ(DLSOpen(&handle, 0), 1u);
  EXPECT_EQ(DLSClose(client_, 0), 1u);
  EXPECT_EQ(DLSLoadFile(client_, 0, &collection, "C:\\a.dls"), 1u);
  EXPECT_EQ(DLSUnloadFile(client_, 0), 1u);
  EXPECT_EQ(DLSUnloadAll(client_, 0), 1u);
  EXPECT_EQ(DLSCompactMemory(0), 1u);
  EXPECT_EQ(DLSSetAttribute(client_, 1, info), 1u);
  EXPECT_EQ(DLSGetInfo(info), 0u);
  EXPECT_EQ(info[2], 1u) << "DLS not available";
}

}  // namespace
