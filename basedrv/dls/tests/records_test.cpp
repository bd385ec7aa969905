#include <gtest/gtest.h>

#include "basedrv/dls/convert.h"
#include "basedrv/dls/records.h"
#include "engine_fixture.h"

namespace {

using dls_test::EngineFixture;
using Bytes = std::vector<std::uint8_t>;
namespace card = dls::card;

constexpr std::int32_t kOctave = 78643200;

class Records : public EngineFixture {
 protected:
  void SetUp() override { LayOut({}); }
};

TEST_F(Records, empty_patch_record_is_the_fixed_pattern_and_slots_past_765_are_not_written) {
  dls::InitPatchParam(env_, 0);
  dls::InitPatchParam(env_, 765);
  dls::InitPatchParam(env_, 766);  // would be the first split record
  Bytes expected = {0xFF, 0xFF, 0xF0, 0x08};
  expected.resize(18, 0x00);
  expected.push_back(0xFF);
  expected.push_back(0xFF);
  expected.resize(30, 0x00);
  EXPECT_EQ(Read(PatchRecord(0), 30), expected);
  EXPECT_EQ(Read(PatchRecord(765), 30), expected);
  EXPECT_EQ(Read(SplitRecord(0), 20), Bytes(20, 0));
}

TEST_F(Records, filled_patch_record_puts_each_converted_value_in_its_place) {
  dls::Articulation art{};
  art[0] = -55791972;      // LFO 5 Hz -> 0xCE
  art[1] = -5 * kOctave;   // LFO delay -> 0x1F
  art[2] = 30 * 65536;     // LFO tremolo -> 4
  art[3] = kOctave / 4;    // LFO vibrato -> 8
  art[4] = 90 * 65536;     // wheel tremolo -> 12
  art[5] = kOctave / 16;   // wheel vibrato -> 4
  art[6] = -7 * kOctave;   // EG1 attack -> 0x07
  art[7] = INT32_MAX;      // EG1 decay -> 0xCF
  art[8] = 0;              // EG1 sustain 0 % -> 0xFF
  art[9] = 0;              // EG1 release -> 0x6F
  art[10] = 196608000;     // vel -> EG1 attack 4
  art[11] = -393216000;    // key -> EG1 decay 8
  art[12] = 0;             // EG2 attack -> 0x6F
  art[13] = -6 * kOctave;  // EG2 decay -> 0x0F
  art[14] = 32768000;      // EG2 sustain 50 % -> 0x7F
  art[15] = -5 * kOctave;  // EG2 release -> 0x1F
  art[16] = 393216000;     // vel -> EG2 attack 7
  art[17] = -196608000;    // key -> EG2 decay 12
  art[18] = 100 * 65536;   // EG2 -> pitch 10
  art[19] = 0;
  art[20] = -15 * 65536;  // vel -> attenuation 4

  Block().Set8(dls::cdb::kFRomBelowRam, 1);
  dls::FillPatchStruc(env_, 3, art, 0x12345, dls::DrumFlag::kDrum);
  Bytes expected = {0xFF, 0xC1, 0xF4, 0xC0, 0x00, 0x00, 0x6F, 0x0F, 0x7F, 0x1F, 0x00, 0x0A, 0x7C, 0x48, 0x07,
                    0xCF, 0xFF, 0x6F, 0x00, 0x04, 0x00, 0x00, 0xCE, 0x1F, 0x80, 0x40, 0x00, 0x41, 0x23, 0x45};
  EXPECT_EQ(Read(PatchRecord(3), 30), expected);

  Block().Set8(dls::cdb::kFRomBelowRam, 0);
  dls::FillPatchStruc(env_, 3, art, 0x12345, dls::DrumFlag::kMelodic);
  EXPECT_EQ(Read(PatchRecord(3), 2), (Bytes{0xFF, 0xC0}));
  EXPECT_EQ(Read(PatchRecord(3) + 27, 3), (Bytes{0x01, 0x23, 0x45}));
}

struct SampleCase {
  const char* name;
  dls_test::Region region;
  dls_test::Wave wave;
  dls::DrumFlag drum;
  bool romBelowRam;
  Bytes expected;  // all 18 bytes
};

class SampleRecords : public EngineFixture, public ::testing::WithParamInterface<SampleCase> {};

TEST_P(SampleRecords, hold_address_loop_points_gain_and_pitch) {
  const SampleCase& c = GetParam();
  LayOut({.gmBankBytes = 0,
          .tableArea = card::kMinTableAreaSize,
          .dataArea = 0x10000,
          .romBelowRam = c.romBelowRam});
  auto region = NewRegion(c.region, NewWave(c.wave));
  auto dest = NewScratch(18);
  ASSERT_TRUE(dls::FillSampleStruc(env_, c.drum, region, dest, 0x100));
  EXPECT_EQ(Read(dest, 18), c.expected);
}

// Card address of the data: T (57,796 = 0xE1C4) + pool offset 0x100 + data offset.
const SampleCase kSampleCases[] = {
    {"unlooped_8bit_1000_samples",
     {.rate = 22050, .bits = 8, .dataOffset = 0x10},
     {.loopStartBytes = 1000},
     dls::DrumFlag::kMelodic,
     false,
     {0x20, 0x00, 0xE2, 0xD4, 0x00, 0x03, 0xE7, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0x4C,
      0xC4}},
    {"looped_16bit_start_100_length_50",
     {.keyGroup = 1, .attenuation = -3932160, .rate = 22050, .bits = 16},
     {.loopStartBytes = 200,
      .loopLengthBytes = 100,
      .sizeShift = 1,
      .firstSample = -2,
      .loopStartSample = 0x1234},
     dls::DrumFlag::kMelodic,
     false,
     {0x48, 0x00, 0xE2, 0xC4, 0x00, 0x00, 0x63, 0xFF, 0xFE, 0x00, 0x00, 0x31, 0x12, 0x34, 0x40, 0x26, 0x4C,
      0xC4}},
    {"loop_at_sample_0_and_drum_pitch_and_rom_offset",
     {.rate = 22050, .bits = 16},
     {.loopStartBytes = 0, .loopLengthBytes = 0, .sizeShift = 1},
     dls::DrumFlag::kDrum,
     true,
     {0x40, 0x40, 0xE2, 0xC4, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0x88,
      0xC4}},
    {"melodic_pitch_wraps_in_16_bits",
     {.unityNote = 127, .rate = 8000, .bits = 8},
     {.loopStartBytes = 1},
     dls::DrumFlag::kMelodic,
     false,
     // CnvFreq(8000) = 30,519; minus 127 x 256 = -1,993 -> 0xF837
     {0x20, 0x00, 0xE2, 0xC4, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xF8,
      0x37}},
};

INSTANTIATE_TEST_SUITE_P(Table, SampleRecords, ::testing::ValuesIn(kSampleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Records, sample_record_is_not_written_outside_mapped_memory) {
  auto wave = NewWave({.loopStartBytes = 10});
  auto region = NewRegion({}, wave);
  auto dest = NewScratch(18);
  std::uint32_t pastEnd = scratch_ + 0x10000 - 10;  // the last 10 bytes of the scratch region
  EXPECT_FALSE(dls::FillSampleStruc(env_, dls::DrumFlag::kMelodic, region, pastEnd, 0));
  EXPECT_EQ(Read(pastEnd, 10), Bytes(10, 0));
  auto stray = NewRegion({}, 0x10);  // wave record pointer into unmapped memory
  EXPECT_FALSE(dls::FillSampleStruc(env_, dls::DrumFlag::kMelodic, stray, dest, 0));
  EXPECT_EQ(Read(dest, 18), Bytes(18, 0));
}

TEST_F(Records, drum_patch_entry_packs_group_patch_transpose_and_pan) {
  EXPECT_EQ(dls::PackDrumEntry(2, 5, 36 - 60, dls::ConvertPan(0)), 0x2105E880u);
  EXPECT_EQ(dls::PackDrumEntry(0x1F, 0x3FF - 256, 0, 0), 0xF3FF0000u);  // group and patch keep their widths

  auto table = NewScratch(512);
  Block().Set32(dls::CommonBlock::DrumPatch(31) + dls::cdb::kDrumPatchTablePtr, table);
  dls::WriteIntoDrumPatchPacked(env_, 31, 36, 2, 5, -24, 128);
  dls::WriteIntoDrumPatchPacked(env_, 31, 128, 2, 5, -24, 128);  // no key 128: nothing written
  EXPECT_EQ(Read(table + 4 * 36, 4), (Bytes{0x21, 0x05, 0xE8, 0x80}));
  EXPECT_EQ(Read(table + 4 * 37, 4), Bytes(4, 0));
}

TEST_F(Records, instrument_splits_follow_ascending_lower_keys_and_the_last_reads_key_128) {
  auto wave = NewWave({.loopStartBytes = 10});
  auto r60 = NewRegion({.keyLow = 60, .keyHigh = 127}, wave);
  auto r0 = NewRegion({.keyLow = 0, .keyHigh = 29}, wave);
  auto r30 = NewRegion({.keyLow = 30, .keyHigh = 59}, wave);
  auto list = NewList({r60, r0, r30});
  ASSERT_TRUE(dls::WriteInstrumentSplits(env_, 10, 3, list, 0));
  EXPECT_EQ(Read(SplitRecord(10), 2), (Bytes{29, 0}));
  EXPECT_EQ(Read(SplitRecord(11), 2), (Bytes{59, 0}));
  EXPECT_EQ(Read(SplitRecord(12), 2), (Bytes{0x80, 0x00}));
  EXPECT_EQ(Read(SplitRecord(13), 20), Bytes(20, 0));
  EXPECT_EQ(Read(SplitRecord(10) + 2, 4), (Bytes{0x40, 0x00, 0xE1, 0xC4}));
  EXPECT_EQ(dls::FindDlsSplitOffset(env_, 10), card::kSplitTableOffset + 200u);
  EXPECT_EQ(dls::FindDlsDrumInstrOffset(env_, 2), card::kDrumInstTableOffset + 36u);

  auto single = NewList({NewRegion({.keyLow = 5, .keyHigh = 9}, wave)});
  ASSERT_TRUE(dls::WriteInstrumentSplits(env_, 0, 1, single, 0));
  EXPECT_EQ(Read(SplitRecord(0), 2), (Bytes{0x80, 0x00}));
  EXPECT_FALSE(dls::WriteInstrumentSplits(env_, 1023, 2, single, 0));  // runs past the table
}

TEST_F(Records, sort_takes_the_frontmost_of_equal_lower_keys) {
  auto wave = NewWave({});
  auto a = NewRegion({.keyLow = 5}, wave);
  auto b = NewRegion({.keyLow = 3}, wave);
  auto c = NewRegion({.keyLow = 3}, wave);
  auto d = NewRegion({.keyLow = 1}, wave);
  auto list = NewList({a, b, c, d});
  dls::SortRegions(env_, 4, list);
  auto s = At(list, 16);
  EXPECT_EQ((std::vector<std::uint32_t>{dls::GetLe32(s, 0), dls::GetLe32(s, 4), dls::GetLe32(s, 8),
                                        dls::GetLe32(s, 12)}),
            (std::vector<std::uint32_t>{d, b, c, a}));

  auto list2 = NewList({a, b, c});  // [5,3b,3c] -> [3b,5,3c] -> [3b,3c,5]
  dls::SortRegions(env_, 3, list2);
  auto s2 = At(list2, 12);
  EXPECT_EQ((std::vector<std::uint32_t>{dls::GetLe32(s2, 0), dls::GetLe32(s2, 4), dls::GetLe32(s2, 8)}),
            (std::vector<std::uint32_t>{b, c, a}));
}

}  // namespace
