#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/machine.h"
#include "sim/registry.h"
#include "tools/j6sim/commands.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out, err;
};

Result J6sim(std::vector<std::string> args) {
  args.insert(args.begin(), "j6sim");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  int status = j6sim::Run(int(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

class SetupNtCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("j6-setupntcmd-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    fs::create_directories(base_);
    nt_ = (base_ / "nt").string();
    ASSERT_EQ(J6sim({"new", nt_, "--os", "nt"}).status, 0);
  }
  void TearDown() override { fs::remove_all(base_); }
  std::string StartOf(const char* service) {
    auto machine = sim::Machine::Load(nt_);
    auto key = machine->Get<sim::RegistryStore>().FindPath(
        std::string("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\") + service);
    if (!key || !key->FindValue("Start")) return "none";
    return std::to_string(key->FindValue("Start")->data[0]);
  }
  fs::path base_;
  std::string nt_;
};

TEST_F(SetupNtCommand, installs_restarts_and_removes_with_a_scripted_user) {
  auto install = J6sim({"setupnt", nt_, "--reboot", "yes", "--transcript", (base_ / "t.txt").string()});
  ASSERT_EQ(install.status, 0) << install.err;
  EXPECT_NE(install.out.find("Started: C:\\WINNT\\regedit /s j6audio.reg (exit 0)"), std::string::npos);
  EXPECT_NE(install.out.find("service running: J6KNLDRV"), std::string::npos) << install.out;
  EXPECT_TRUE(fs::exists(base_ / "t.txt"));
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
  std::string w95 = (base_ / "w95").string();
  ASSERT_EQ(J6sim({"new", w95}).status, 0);
  EXPECT_EQ(J6sim({"setupnt", w95}).status, 2);
  EXPECT_EQ(J6sim({"setupnt", nt_, "--disk", (base_ / "none").string()}).status, 2);
  EXPECT_EQ(J6sim({"setupnt", nt_, "--answer", "up-to-date=maybe"}).status, 2);
  EXPECT_EQ(J6sim({"setupnt", nt_, "--choose", "both"}).status, 2);
}

}  // namespace
