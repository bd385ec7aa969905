#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::J6sim;
using j6sim_test::ReadText;
using j6sim_test::TempFolderTest;

class Install95Command : public TempFolderTest {
 protected:
  std::string Machine(const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"new", (dir_ / "pc").string()};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(J6sim(args).status, 0);
    return (dir_ / "pc").string();
  }
};

TEST_F(Install95Command, install_mode_on_the_stand_in_disk_writes_the_marker_and_the_transcript) {
  std::string pc = Machine();
  fs::path transcript = dir_ / "t.txt";
  auto r = J6sim({"install95", pc, "--args", "/I", "--choose", "install-windows,install-dos", "--answer",
                  "dls=no", "--transcript", transcript.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("dialog 148"), std::string::npos);
  EXPECT_NE(ReadText(transcript).find("checkbox 1011 [x] \"Install DOS utilities\""), std::string::npos);
  EXPECT_NE(ReadText(fs::path(pc) / "registry.reg").find("\"OVSetupProfile\"=\" \""), std::string::npos);
  EXPECT_TRUE(fs::exists(fs::path(pc) / "C" / "J6DISK" / "J6CVXD.VXD"));
}

TEST_F(Install95Command, finish_with_reboot_yes_restarts_the_machine) {
  std::string pc = Machine();
  auto r = J6sim({"install95", pc, "--choose", "none", "--reboot", "yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("The installer restarts Windows."), std::string::npos);
  r = J6sim({"install95", pc, "--choose", "none", "--reboot", "no"});
  EXPECT_EQ(r.out.find("restarts"), std::string::npos);
}

TEST_F(Install95Command, impossible_or_bad_requests_fail_with_their_status) {
  std::string pc = Machine();
  // Page 148 hides "Remove Windows drivers": no person could tick it.
  EXPECT_EQ(J6sim({"install95", pc, "--choose", "remove-windows"}).status, 1);
  EXPECT_EQ(J6sim({"install95", pc, "--choose", "install-dos,remove-dos"}).status, 2);
  EXPECT_EQ(J6sim({"install95", pc, "--choose", "everything"}).status, 2);
  EXPECT_EQ(J6sim({"install95", pc, "--answer", "dls"}).status, 2);
  EXPECT_EQ(J6sim({"install95", pc, "--interactive", "--choose", "none"}).status, 2);
  EXPECT_EQ(J6sim({"install95", pc, "--disk", (dir_ / "missing").string()}).status, 2);
  EXPECT_EQ(J6sim({"install95", (dir_ / "nothing").string()}).status, 2);
  fs::remove_all(dir_ / "pc");
  std::string nt = Machine({"--os", "nt"});
  EXPECT_EQ(J6sim({"install95", nt}).status, 2);
}

TEST_F(Install95Command, a_script_file_drives_the_pages_before_the_options) {
  std::string pc = Machine({"--card", "none"});
  fs::path script = dir_ / "steps.txt";
  std::ofstream(script) << "# the no-card page\n@130 click Next -->\n@140 click Finish\n";
  auto r = J6sim({"install95", pc, "--script", script.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("dialog 140"), std::string::npos);
  std::ofstream(script) << "fly away\n";
  EXPECT_EQ(J6sim({"install95", pc, "--script", script.string()}).status, 2);
}

}  // namespace
