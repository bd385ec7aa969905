#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/machine.h"
#include "sim/process.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class MachineFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-machine");
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(MachineFolder, new_machine_round_trips_its_configuration) {
  auto config = sim::MachineConfig::Defaults(platform::WindowsFamily::kNt);
  config.card.kind = sim::CardKind::kIsa;
  config.card.dma[1] = 7;
  config.pciDevices.push_back({0x8086, 0x7110});
  sim::Machine::Create(dir_, config);

  auto loaded = sim::Machine::Load(dir_);
  EXPECT_TRUE(loaded->IsNt());
  EXPECT_EQ(loaded->Config().windowsDir, "C:\\WINNT");
  EXPECT_EQ(loaded->Config().card.kind, sim::CardKind::kIsa);
  EXPECT_EQ(loaded->Config().card.dma[1], 7);
  ASSERT_EQ(loaded->Config().pciDevices.size(), 1u);
  EXPECT_EQ(loaded->Config().pciDevices[0].device, 0x7110);
  EXPECT_TRUE(fs::is_directory(dir_ / "C" / "WINNT" / "SYSTEM32" / "DRIVERS"));
}

TEST_F(MachineFolder, broken_machine_json_names_file_and_line) {
  sim::Machine::Create(dir_, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
  std::ofstream(dir_ / "machine.json") << "{\n  \"os\": \"95\",\n  \"card\": {\"irq\": 99}\n}\n";
  try {
    sim::Machine::Load(dir_);
    FAIL() << "loaded a machine with IRQ 99";
  } catch (const sim::MachineError& e) {
    EXPECT_NE(std::string(e.what()).find("machine.json:3:"), std::string::npos) << e.what();
  }
}

// Found by fuzzing: a number beyond every type escaped as a library exception instead of a MachineError.
TEST_F(MachineFolder, number_out_of_range_in_machine_json_is_refused_cleanly) {
  sim::Machine::Create(dir_, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
  std::ofstream(dir_ / "machine.json") << "{\"os\": \"95\", \"freeBytes\": 1e400}\n";
  EXPECT_THROW(sim::Machine::Load(dir_), sim::MachineError);
}

TEST_F(MachineFolder, create_refuses_a_folder_in_use) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "precious.txt") << "keep me";
  EXPECT_THROW(sim::Machine::Create(dir_, sim::MachineConfig{}), sim::MachineError);
  EXPECT_TRUE(fs::exists(dir_ / "precious.txt"));
}

TEST(LinearMemory, accesses_outside_a_region_are_refused) {
  sim::LinearMemory memory;
  auto a = memory.Allocate(16, "test");
  ASSERT_NE(a, 0u);
  EXPECT_EQ(memory.Map(a, 16).size(), 16u);
  EXPECT_TRUE(memory.Map(a, 17).empty());
  EXPECT_TRUE(memory.Map(a + 16, 1).empty());
  EXPECT_TRUE(memory.Map(0, 1).empty());
  EXPECT_TRUE(memory.Map(a - 1, 2).empty());
  EXPECT_TRUE(memory.Free(a));
  EXPECT_TRUE(memory.Map(a, 1).empty());
}

TEST(Faults, armed_point_fails_the_chosen_hits_only) {
  sim::Faults faults;
  faults.Arm("x", 1, 2);
  EXPECT_FALSE(faults.ShouldFail("x"));
  EXPECT_TRUE(faults.ShouldFail("x"));
  EXPECT_TRUE(faults.ShouldFail("x"));
  EXPECT_FALSE(faults.ShouldFail("x"));
  EXPECT_EQ(faults.Hits("x"), 4u);
}

}  // namespace
