#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/machine.h"
#include "sim/registry.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::J6sim;
using j6sim_test::TempFolderTest;

class SetupNtCommand : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(dir_);
    nt_ = (dir_ / "nt").string();
    ASSERT_EQ(J6sim({"new", nt_, "--os", "nt"}).status, 0);
  }
  std::string StartOf(const char* service) {
    auto machine = sim::Machine::Load(nt_);
    auto key = machine->Get<sim::RegistryStore>().FindPath(
        std::string("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\") + service);
    if (!key || !key->FindValue("Start")) return "none";
    return std::to_string(key->FindValue("Start")->data[0]);
  }
  std::string nt_;
};

TEST_F(SetupNtCommand, installs_restarts_and_removes_with_a_scripted_user) {
  auto install = J6sim({"setupnt", nt_, "--reboot", "yes", "--transcript", (dir_ / "t.txt").string()});
  ASSERT_EQ(install.status, 0) << install.err;
  EXPECT_NE(install.out.find("Started: C:\\WINNT\\regedit /s j6audio.reg (exit 0)"), std::string::npos);
  EXPECT_NE(install.out.find("service running: J6KNLDRV"), std::string::npos) << install.out;
  EXPECT_TRUE(fs::exists(dir_ / "t.txt"));
  EXPECT_EQ(StartOf("j6knldrv"), "1");

  // The same version again: the question must be answered.
  auto unanswered = J6sim({"setupnt", nt_, "--args", "/I"});
  EXPECT_EQ(unanswered.status, 1);

  auto remove = J6sim({"setupnt", nt_, "--args", "/I", "--choose", "remove"});
  ASSERT_EQ(remove.status, 0) << remove.err;
  EXPECT_EQ(StartOf("j6knldrv"), "4");
  EXPECT_EQ(remove.out.find("Restarting"), std::string::npos) << "no restart under /I";
}

TEST_F(SetupNtCommand, refuses_what_it_cannot_run) {
  std::string w95 = (dir_ / "w95").string();
  ASSERT_EQ(J6sim({"new", w95}).status, 0);
  EXPECT_EQ(J6sim({"setupnt", w95}).status, 2);
  EXPECT_EQ(J6sim({"setupnt", nt_, "--disk", (dir_ / "none").string()}).status, 2);
  EXPECT_EQ(J6sim({"setupnt", nt_, "--answer", "up-to-date=maybe"}).status, 2);
  EXPECT_EQ(J6sim({"setupnt", nt_, "--choose", "both"}).status, 2);
}

}  // namespace
