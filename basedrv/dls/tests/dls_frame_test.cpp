// The engine started and stopped by the hardware access layer on a simulated PC.
#include <gtest/gtest.h>

#include "basedrv/dls/dll_dls.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/hal/tests/hal_fixture.h"
#include "mem_invariants.h"
#include "sim/gm_banks.h"

namespace {

namespace cdb = dls::cdb;

class EngineOnCard : public haltest::SimPc {};

TEST_F(EngineOnCard, first_initialisation_starts_the_engine_on_the_rom_and_last_exit_hands_back_to_it) {
  std::uint32_t id = InitCard();
  dls::DlsEnv env = j6base::CurrentDlsEnv();
  dls::CommonBlock block = env.Common();
  ASSERT_TRUE(block.Valid());
  EXPECT_EQ(block.Get32(cdb::kFDlsEnabled), 1u);
  EXPECT_EQ(block.Get8(cdb::kBGmBank), 0);
  EXPECT_EQ(block.Get8(cdb::kFRomBelowRam), 1);
  EXPECT_EQ(block.Get32(cdb::kLpSampleMem), Vxd().SampleMemory());
  EXPECT_EQ(dls::GetDlsDataBufSize(env), Vxd().DlsRamSize());
  auto rom = sim::VirtualDevice::RomDrumPatchTable();
  auto table = block.Bytes().subspan(cdb::kDrumPatchTable, 512);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), rom.begin()));
  ASSERT_FALSE(Vxd().DlsRamAddrs().empty());
  EXPECT_EQ(Vxd().DlsRamAddrs().back().address, machine_->Config().card.sampleMemPhys);
  EXPECT_EQ(Vxd().DlsRamAddrs().back().flag, 1u);
  auto problems = dls_test::CheckMemInvariants(env);
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);

  EXPECT_EQ(VEXA_Exit(id), 0u);
  EXPECT_EQ(Vxd().DlsRamAddrs().back().address, 0xFFFFFFFFu);
  EXPECT_EQ(Vxd().DlsRamAddrs().back().flag, 0u);
}

TEST_F(EngineOnCard, engine_starts_once_per_process_even_when_the_card_is_initialised_again) {
  std::uint32_t id = InitCard();
  auto owner = [] { return j6base::CurrentDlsEnv().Common().Get16(dls::CommonBlock::SplitOwner(0)); };
  j6base::CurrentDlsEnv().Common().Set16(dls::CommonBlock::SplitOwner(0), 4);  // a loaded collection's split
  ASSERT_EQ(VEXA_Exit(id), 0u);
  ASSERT_EQ(VEXA_Initialize(machine_->Config().card.hardwareKey, &id), 0u);
  EXPECT_EQ(owner(), 4) << "the same process does not start the engine twice";

  ASSERT_EQ(VEXA_Exit(id), 0u);
  Load();  // another program
  ASSERT_EQ(VEXA_Initialize(machine_->Config().card.hardwareKey, &id), 0u);
  EXPECT_EQ(owner(), 0xFFFF) << "a new process starts it afresh";
}

TEST_F(EngineOnCard, without_a_common_block_nothing_is_touched) {
  Boot();
  Vxd().Refuse(0x0C);
  Load();
  std::uint32_t id = 0;
  EXPECT_EQ(VEXA_Initialize(machine_->Config().card.hardwareKey, &id), 0u);
  EXPECT_FALSE(j6base::CurrentDlsEnv().Common().Valid());
  EXPECT_TRUE(Vxd().DlsRamAddrs().empty());
  EXPECT_EQ(j6base::DeviceIDToHardwareInstance(id)->hwInfo[0x73] & 0x0A, 0);
}

// The bank size the virtual device reserves for, as the driver's settings give it.
void ConfigureGmBank(sim::Process& process, const char* bytes) {
  platform::Registry* registry = process.Os().registry;
  platform::HKey key = 0;
  ASSERT_EQ(registry->CreateKey(platform::kHkeyLocalMachine,
                                "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS", &key),
            0u);
  ASSERT_EQ(registry->SetDefaultValue(key, "Config\\SysMemGMBankSize", bytes), 0u);
  registry->CloseKey(key);
}

TEST_F(EngineOnCard, ram_bank_comes_from_the_system_directory_and_the_midi_port_is_reset) {
  Boot();
  sim::InstallGmBanks(*machine_, {1});
  Load([](sim::Process& p) { ConfigureGmBank(p, "1048576"); });
  std::uint32_t id = 0;
  ASSERT_EQ(VEXA_Initialize(machine_->Config().card.hardwareKey, &id), 0u);
  dls::DlsEnv env = j6base::CurrentDlsEnv();
  dls::CommonBlock block = env.Common();
  EXPECT_EQ(block.Get8(cdb::kBGmBank), 1);
  EXPECT_EQ(block.Get8(cdb::kFRomBelowRam), 0);
  EXPECT_EQ(block.Get32(cdb::kDwGmBankBytes), 1048576u);
  auto image = sim::MakeGmBankImage(1);
  auto loaded = env.Map(block.Get32(cdb::kLpSampleMem), 1048576);
  EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), image.begin()));
  auto table = block.Bytes().subspan(cdb::kDrumPatchTable, 512);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), image.begin() + sim::kGmBankDrumTableOffset));
  EXPECT_EQ(Vxd().DlsRamAddrs().back().flag, 0u);
  EXPECT_EQ(j6base::DeviceIDToHardwareInstance(id)->hwInfo[0x73] & 0x08, 0);

  std::vector<sim::PortAccess> writes;
  for (const auto& a : Bus().Trace())
    if (a.kind == sim::PortAccess::Kind::kOut && (a.port == 0x0331 || a.port == 0xE010)) writes.push_back(a);
  EXPECT_EQ(writes, (std::vector<sim::PortAccess>{haltest::Out(0xE010, 0x00), haltest::Out(0x0331, 0xFF),
                                                  haltest::Out(0x0331, 0x3F)}));
}

TEST_F(EngineOnCard, missing_bank_file_falls_back_to_the_rom_and_says_so) {
  Boot();
  Load([](sim::Process& p) { ConfigureGmBank(p, "2097152"); });
  std::uint32_t id = 0;
  ASSERT_EQ(VEXA_Initialize(machine_->Config().card.hardwareKey, &id), 0u);
  EXPECT_EQ(j6base::CurrentDlsEnv().Common().Get8(cdb::kBGmBank), 0);
  std::uint32_t status = 0;
  VEXA_GetSystemInfo(id, 16, &status);
  EXPECT_EQ(status, 0x08u);
}

}  // namespace
