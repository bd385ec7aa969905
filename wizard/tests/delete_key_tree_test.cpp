#include "wizard/delete_key_tree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "sim/machine.h"
#include "sim/process.h"
#include "sim/registry.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using platform::kHkeyLocalMachine;

class DeleteKeyTreeTest : public ::testing::TestWithParam<platform::WindowsFamily> {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-dkt");
    fs::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(GetParam()));
    process_ = machine_->StartProcess("test");
    registry_ = process_->Os().registry;
    for (const char* path : {"Software\\J6\\Top\\A\\A1", "Software\\J6\\Top\\A\\A2\\Deep",
                             "Software\\J6\\Top\\B", "Software\\J6\\Sibling"}) {
      platform::HKey key = 0;
      ASSERT_EQ(registry_->CreateKey(kHkeyLocalMachine, path, &key), 0u);
      registry_->CloseKey(key);
    }
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }
  bool Exists(const char* path) {
    platform::HKey key = 0;
    if (registry_->OpenKey(kHkeyLocalMachine, path, &key) != 0) return false;
    registry_->CloseKey(key);
    return true;
  }

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  platform::Registry* registry_ = nullptr;
};

// NT refuses to delete a key that has subkeys, so only a depth-first walk empties the branch there.
TEST_P(DeleteKeyTreeTest, removes_the_whole_branch_and_nothing_beside_it) {
  platform::HKey parent = 0;
  ASSERT_EQ(registry_->OpenKey(kHkeyLocalMachine, "Software\\J6", &parent), 0u);
  EXPECT_EQ(wizard::DeleteKeyTree(*registry_, parent, "Top"), 1);
  registry_->CloseKey(parent);
  EXPECT_FALSE(Exists("Software\\J6\\Top"));
  EXPECT_TRUE(Exists("Software\\J6\\Sibling"));
}

TEST_P(DeleteKeyTreeTest, a_path_below_the_parent_is_accepted) {
  EXPECT_EQ(wizard::DeleteKeyTree(*registry_, kHkeyLocalMachine, "Software\\J6\\Top\\A"), 1);
  EXPECT_FALSE(Exists("Software\\J6\\Top\\A"));
  EXPECT_TRUE(Exists("Software\\J6\\Top\\B"));
}

TEST_P(DeleteKeyTreeTest, a_missing_key_changes_nothing) {
  EXPECT_EQ(wizard::DeleteKeyTree(*registry_, kHkeyLocalMachine, "Software\\J6\\Missing"), 1);
  EXPECT_EQ(wizard::DeleteKeyTree(*registry_, kHkeyLocalMachine, nullptr), 1);
  EXPECT_TRUE(Exists("Software\\J6\\Top\\A\\A2\\Deep"));
}

// A child that cannot be deleted stays at its index; the walk must still come to an end.
TEST_P(DeleteKeyTreeTest, ends_when_the_registry_refuses_every_deletion) {
  machine_->GetFaults().Arm(sim::fault::kRegistryWrite, 0, 1000000);
  EXPECT_EQ(wizard::DeleteKeyTree(*registry_, kHkeyLocalMachine, "Software\\J6\\Top"), 1);
  machine_->GetFaults().Clear();
  EXPECT_TRUE(Exists("Software\\J6\\Top\\A\\A2\\Deep"));
  EXPECT_TRUE(Exists("Software\\J6\\Top\\B"));
}

INSTANTIATE_TEST_SUITE_P(Families, DeleteKeyTreeTest,
                         ::testing::Values(platform::WindowsFamily::k95, platform::WindowsFamily::kNt),
                         [](const auto& info) {
                           return info.param == platform::WindowsFamily::k95 ? std::string("win95")
                                                                             : std::string("nt");
                         });

}  // namespace
