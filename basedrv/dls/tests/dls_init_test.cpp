#include <gtest/gtest.h>

#include "basedrv/dls/dll_dls.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/dls/records.h"
#include "fake_host.h"
#include "mem_invariants.h"
#include "sim/gm_banks.h"

namespace {

using dls_test::CardSetup;
using dls_test::FakeHost;
namespace cdb = dls::cdb;
constexpr std::uint32_t kMB = 1024 * 1024;
constexpr std::uint32_t kBit25 = 0x02000000, kBit27 = 0x08000000;

std::string Bank(std::uint8_t selector) {
  return std::string("C:\\WINDOWS\\SYSTEM\\j6gm") + std::to_string(selector) + ".bin";
}

struct SourceCase {
  const char* name;
  CardSetup card;
  std::uint32_t bankFileSize;  // 0: no file
  std::uint8_t gmBank;
  bool dlsEnabled;
  bool romBelowRam;
  std::uint32_t statusBits;  // bits 25 and 27 expected
  std::uint32_t result;
};

class GmSource : public ::testing::TestWithParam<SourceCase> {};

TEST_P(GmSource, follows_the_card_and_the_configured_bank) {
  const SourceCase& c = GetParam();
  FakeHost host(c.card);
  if (c.bankFileSize != 0)
    host.files.files[Bank(static_cast<std::uint8_t>(c.card.gmBankSize >> 20))] =
        sim::MakeGmBankImage(static_cast<std::uint8_t>(c.card.gmBankSize >> 20), c.bankFileSize);
  EXPECT_EQ(dls::DlsInit(host, FakeHost::kDeviceId), c.result);
  auto b = host.Block();
  EXPECT_EQ(b.Get8(cdb::kBGmBank), c.gmBank);
  EXPECT_EQ(b.Get32(cdb::kFDlsEnabled), c.dlsEnabled ? 1u : 0u);
  EXPECT_EQ(b.Get8(cdb::kFRomBelowRam), c.romBelowRam ? 1 : 0);
  EXPECT_EQ(host.WaveStatus() & (kBit25 | kBit27), c.statusBits);
  EXPECT_EQ(host.files.openFiles, 0) << "every bank file is closed again";
  if (c.dlsEnabled) {
    auto problems = dls_test::CheckMemInvariants(host.env);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  }
}

const SourceCase kSourceCases[] = {
    {"rom_card_without_bank", {}, 0, 0, true, true, 0, 0},
    {"table_area_one_byte_short", {.tableArea = 57795}, 0, 0, false, false, 0, 0},
    {"no_rom_no_bank", {.gmRom = false}, 0, 0xFF, true, false, kBit27, 0},
    {"bank_of_3mb_is_no_bank_on_a_rom_card", {.gmBankSize = 3 * kMB}, 0, 0, true, true, 0, 0},
    {"bank_of_3mb_without_rom", {.gmRom = false, .gmBankSize = 3 * kMB}, 0, 0xFF, true, false, kBit27, 0},
    {"bank_just_under_1mb", {.gmBankSize = kMB - 1}, 0, 0, true, true, 0, 0},
    {"ram_bank_2mb_loaded", {.gmBankSize = 2 * kMB}, 2 * kMB, 2, true, false, 0, 0},
    {"ram_bank_smaller_file_loaded", {.gmBankSize = kMB}, 4096, 1, true, false, 0, 0},
    {"ram_bank_file_missing", {.gmBankSize = 2 * kMB}, 0, 0, true, true, kBit27, 0},
    {"ram_bank_file_too_large", {.gmBankSize = kMB}, kMB + 1, 0, true, true, kBit27, 0},
    {"ram_bank_missing_without_rom", {.gmRom = false, .gmBankSize = kMB}, 0, 0xFF, true, false, kBit27, 0},
    {"legacy_with_rom", {.legacy = true, .gmBankSize = kMB}, kMB, 0, false, false, 0, 0},
    {"legacy_without_rom", {.legacy = true, .gmRom = false}, 0, 0xFF, false, false, kBit27, 0},
    {"no_sample_memory", {.sampleMemory = false}, 0, 0, false, false, 0, 0},
    {"dls_ram_size_zero", {.dlsRamSize = 0}, 0, 0, false, true, 0, 2},
    {"rom_with_16mb_is_cut_to_fit_the_wave_space", {.dlsRamSize = 16 * kMB}, 0, 0, true, true, kBit25, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, GmSource, ::testing::ValuesIn(kSourceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DlsInit, lays_out_the_sample_memory_behind_a_ram_bank_and_takes_its_drum_table) {
  FakeHost host({.gmBankSize = kMB, .tableArea = 0x10000});
  auto image = sim::MakeGmBankImage(1);
  host.files.files[Bank(1)] = image;
  ASSERT_EQ(dls::DlsInit(host, FakeHost::kDeviceId), 0u);
  auto b = host.Block();
  EXPECT_EQ(b.Get32(cdb::kDwGmBankBytes), kMB);
  EXPECT_EQ(b.Get32(cdb::kDwDataCardAddr), kMB + 0x10000);
  EXPECT_EQ(b.Get32(cdb::kLpDataArea), host.sampleMem + kMB + 0x10000);
  EXPECT_EQ(b.Get32(cdb::kDwDataAreaSize), 0x10000u);
  EXPECT_EQ(b.Get32(cdb::kDwDrumTableCardAddr), sim::kGmBankDrumTableOffset);
  EXPECT_EQ(b.Get32(cdb::kLpDrumTable), host.sampleMem + sim::kGmBankDrumTableOffset);
  auto drum = b.Bytes().subspan(cdb::kDrumPatchTable, 512);
  EXPECT_TRUE(std::equal(drum.begin(), drum.end(), image.begin() + sim::kGmBankDrumTableOffset));
  auto loaded = host.memory.Map(host.sampleMem, kMB);
  EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), image.begin()));
  for (std::uint32_t size : host.files.reads) EXPECT_LE(size, dls::kBankReadPiece);
  auto problems = dls_test::CheckMemInvariants(host.env);
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST(DlsInit, drum_table_comes_from_the_rom_or_stays_empty) {
  FakeHost rom({});
  dls::DlsInit(rom, FakeHost::kDeviceId);
  EXPECT_EQ(rom.Block().Get32(cdb::kDrumPatchTable + 4 * 127), 0xA3A2A1A0u);
  EXPECT_EQ(rom.Block().Get32(cdb::kDwDrumTableCardAddr), 43460u);

  FakeHost none({.gmRom = false});
  dls::DlsInit(none, FakeHost::kDeviceId);
  for (std::uint32_t k = 0; k < 128; ++k)
    ASSERT_EQ(none.Block().Get32(cdb::kDrumPatchTable + 4 * k), 0x8000FF03u);

  // A bank whose drum table offset points past its image keeps the empty kit.
  FakeHost bad({.gmBankSize = kMB});
  auto image = sim::MakeGmBankImage(1);
  image[7] = 0x10;  // 0x100100: past 1 MB
  bad.files.files[Bank(1)] = image;
  dls::DlsInit(bad, FakeHost::kDeviceId);
  EXPECT_EQ(bad.Block().Get8(cdb::kBGmBank), 1);
  EXPECT_EQ(bad.Block().Get32(cdb::kDrumPatchTable), 0x8000FF03u);
  EXPECT_EQ(bad.Block().Get32(cdb::kDwDrumTableCardAddr), 43460u + kMB);
}

TEST(DlsInit, resets_the_engine_tables_but_not_the_client) {
  FakeHost host({});
  auto b = host.Block();
  b.Set32(cdb::kFClientOpen, 1);
  b.Set32(cdb::kDwClientHandle, 77);
  b.Set16(dls::CommonBlock::Patch(765) + cdb::kPatchOwner, 3);
  b.Set8(cdb::kBChanChange + 2, 1);
  ASSERT_EQ(dls::DlsInit(host, FakeHost::kDeviceId), 0u);
  EXPECT_EQ(b.Get32(cdb::kFClientOpen), 1u);
  EXPECT_EQ(b.Get32(cdb::kDwClientHandle), 77u);
  EXPECT_EQ(b.Get16(dls::CommonBlock::Patch(765) + cdb::kPatchOwner), 0xFFFF);
  auto patch = host.memory.Map(b.Get32(cdb::kLpPatchTable) + 30 * 765, 4);
  EXPECT_EQ(std::vector<std::uint8_t>(patch.begin(), patch.end()),
            (std::vector<std::uint8_t>{0xFF, 0xFF, 0xF0, 0x08}));
  EXPECT_EQ(b.Get8(cdb::kBChanChange + 2), 0);
  EXPECT_EQ(b.Get8(cdb::kBChanChange + 9), 1);
  EXPECT_EQ(b.Get16(cdb::kWChanPatch + 2 * 15), 0xFFFF);
  EXPECT_EQ(b.Get8(cdb::kBReloadChange), 1);
  EXPECT_EQ(b.Get16(cdb::kWCurDrumPatch), 0xFFFF);
  EXPECT_EQ(b.Get32(dls::CommonBlock::Collection(255) + cdb::kColClient), 0xFFFFFFFFu);
  EXPECT_EQ(b.Get16(dls::CommonBlock::SplitOwner(1023)), 0xFFFF);
  EXPECT_EQ(b.Get16(dls::CommonBlock::DrumInstOwner(767)), 0xFFFF);
  EXPECT_EQ(b.Get16(dls::CommonBlock::DrumPatch(31) + cdb::kDrumPatchBank), 0xFFFF);
  EXPECT_EQ(b.Get16(cdb::kWMidiPort), FakeHost::kMidiPort);
  EXPECT_EQ(b.Get16(cdb::kWBasePort), FakeHost::kBasePort);
}

struct SignalCase {
  const char* name;
  CardSetup card;
  bool bankFile;
  std::vector<std::string> events;
};

class StartSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(StartSignals, tell_the_device_where_the_tables_are_and_reset_the_midi_port_off_the_rom) {
  const SignalCase& c = GetParam();
  FakeHost host(c.card);
  if (c.bankFile) host.files.files[Bank(1)] = sim::MakeGmBankImage(1);
  dls::DlsInit(host, FakeHost::kDeviceId);
  EXPECT_EQ(host.events, c.events);
}

const std::vector<std::string> kMpuReset = {"out 331 00", "wait 1",     "out 330 FF",
                                            "wait 1",     "out 330 3F", "wait 1"};
std::vector<std::string> With(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const SignalCase kSignalCases[] = {
    {"rom", {}, false, {"0x10", "0x0A flag 1 offset 00000000"}},
    {"rom_without_dls", {.tableArea = 100}, false, {"0x10", "0x0A flag 0 offset FFFFFFFF"}},
    {"legacy_rom", {.legacy = true}, false, {"0x10", "0x0A flag 0 offset FFFFFFFF"}},
    {"ram_bank", {.gmBankSize = kMB}, true, With({"0x0A flag 0 offset 00000000"}, kMpuReset)},
    {"no_bank", {.gmRom = false}, false, With({"0x0A flag 0 offset 00000000"}, kMpuReset)},
    {"dls_ram_size_zero_skips_the_drum_table", {.dlsRamSize = 0}, false, {"0x0A flag 1 offset FFFFFFFF"}},
};

INSTANTIATE_TEST_SUITE_P(Table, StartSignals, ::testing::ValuesIn(kSignalCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DlsInit, runs_once_per_process_and_needs_a_common_block_and_a_device) {
  FakeHost host({});
  ASSERT_EQ(dls::DlsInit(host, FakeHost::kDeviceId), 0u);
  host.Block().Set32(cdb::kFDlsEnabled, 0);
  host.events.clear();
  EXPECT_EQ(dls::DlsInit(host, FakeHost::kDeviceId), 0u);
  EXPECT_EQ(host.Block().Get32(cdb::kFDlsEnabled), 0u) << "the second start changes nothing";
  EXPECT_TRUE(host.events.empty());

  FakeHost noBlock({}, /*commonBlock=*/false);
  EXPECT_EQ(dls::DlsInit(noBlock, FakeHost::kDeviceId), 1u);
  EXPECT_EQ(noBlock.lookups, 0);
  EXPECT_TRUE(noBlock.events.empty());
  EXPECT_EQ(noBlock.WaveStatus(), 1u);

  FakeHost noDevice({});
  EXPECT_EQ(dls::DlsInit(noDevice, 0x999), 1u);
  EXPECT_EQ(noDevice.Block().Get8(cdb::kBGmBank), 0xFF);
  EXPECT_EQ(noDevice.Block().Get32(cdb::kDrumPatchTable), 0x8000FF03u);
  EXPECT_TRUE(noDevice.events.empty());
}

TEST(LoadGmBank, refuses_what_it_cannot_read_whole_and_keeps_inside_the_sample_memory) {
  struct Case {
    const char* name;
    CardSetup card;
    std::uint32_t fileSize;
    bool failSystemDir;
    std::uint32_t shortReadAt;
  };
  const Case cases[] = {
      {"no_system_directory", {.gmBankSize = kMB}, kMB, true, 0xFFFFFFFF},
      {"short_read", {.gmBankSize = kMB}, kMB, false, 3},
      // The device claims 1 MB for the bank but reserved only 64 KB before the tables and data.
      {"bank_larger_than_the_sample_memory",
       {.dlsRamSize = 0, .gmBankSize = kMB, .tableArea = 0, .reservedGmBytes = 0x10000},
       kMB,
       false,
       0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host(c.card);
    host.files.failSystemDir = c.failSystemDir;
    host.files.shortReadAt = c.shortReadAt;
    host.files.files[Bank(1)] = sim::MakeGmBankImage(1, c.fileSize);
    host.Block().Set8(cdb::kBGmBank, 1);
    host.Block().Set32(cdb::kDwGmBankSize, kMB);
    host.Block().Set32(cdb::kLpSampleMem, host.sampleMem);
    dls::DlsDevice device;
    ASSERT_TRUE(host.FindDevice(FakeHost::kDeviceId, &device));
    EXPECT_EQ(dls::LoadGmBank(host, device), 1u);
    EXPECT_EQ(host.Block().Get8(cdb::kBGmBank), 0);
    EXPECT_EQ(host.WaveStatus() & kBit27, kBit27);
    EXPECT_EQ(host.Block().Get32(cdb::kDwGmBankBytes), 0u);
    EXPECT_EQ(host.files.openFiles, 0);
  }
}

TEST(DlsExit, hands_the_synthesizer_back_to_the_rom) {
  FakeHost rom({});
  EXPECT_EQ(dls::DlsExit(rom, FakeHost::kDeviceId), 0u);
  EXPECT_EQ(rom.events, (std::vector<std::string>{"0x0A flag 0 offset FFFFFFFF"}));
  FakeHost noRom({.gmRom = false});
  EXPECT_EQ(dls::DlsExit(noRom, FakeHost::kDeviceId), 0u);
  EXPECT_TRUE(noRom.events.empty());
  EXPECT_EQ(dls::DlsExit(rom, 0x999), 1u);
}

TEST(EngineState, reports_source_availability_and_free_space) {
  FakeHost host({.dlsRamSize = 16 * kMB});
  dls::DlsInit(host, FakeHost::kDeviceId);
  auto state = dls::GetDlsEngineState(host.env, host.hwInfo);
  EXPECT_TRUE(state.dlsEnabled);
  EXPECT_TRUE(state.ramCut);
  EXPECT_EQ(state.largestFree, 12 * kMB - 57796);
  char text[512];
  dls::FormatDlsEngineState(state, text, sizeof text);
  EXPECT_STREQ(text,
               "General MIDI source: ROM\n"
               "DLS available: yes\n"
               "fRomBelowRam: 1\n"
               "DLS data area: 16777216 bytes\n"
               "Free: 12525116 bytes (largest block 12525116 bytes)\n"
               "DLS RAM cut to fit (bit 25): yes\n"
               "GM bank not provided (bit 27): no\n");
}

}  // namespace
