#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "sim/machine.h"
#include "sim/registry.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::TempFolderTest;

const std::string kDevice0 =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\j6knldrv\\Parameters\\Device0";

std::vector<std::uint8_t> DwordBytes(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

class AppletCommand : public TempFolderTest {
 protected:
  // An NT machine where setup left j6audio.cpl and, if given, the two values.
  void MakeMachine(std::optional<std::uint32_t> gmFile, std::optional<std::uint32_t> gmBank,
                   bool installed = true, platform::WindowsFamily family = platform::WindowsFamily::kNt) {
    auto machine = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(family));
    if (installed) std::ofstream(dir_ / "C" / "WINNT" / "SYSTEM32" / "J6AUDIO.CPL") << "stand-in";
    if (gmFile || gmBank) {
      auto key = machine->Get<sim::RegistryStore>().CreatePath(kDevice0);
      if (gmFile) key->SetValue("GmFile", platform::kRegDword, DwordBytes(*gmFile));
      if (gmBank) key->SetValue("GmBank", platform::kRegDword, DwordBytes(*gmBank));
    }
    machine->Save();
  }
  std::optional<std::uint32_t> StoredBank() {
    auto machine = sim::Machine::Load(dir_);
    auto key = machine->Get<sim::RegistryStore>().FindPath(kDevice0);
    auto* value = key ? key->FindValue("GmBank") : nullptr;
    if (!value || value->data.size() != 4) return std::nullopt;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 | std::uint32_t(value->data[3]) << 24;
  }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"j6sim", "applet", dir_.string()});
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    out_.str("");
    err_.str("");
    return j6sim::Run(static_cast<int>(argv.size()), argv.data(), out_, err_);
  }

  std::ostringstream out_, err_;
};

struct Case {
  const char* what;
  std::optional<std::uint32_t> gmFile, gmBank;
  std::vector<std::string> args;
  int exit;
  std::optional<std::uint32_t> bankAfter;
  std::vector<std::string> shown;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }
};

class AppletCommandCases : public AppletCommand, public ::testing::WithParamInterface<Case> {};

TEST_P(AppletCommandCases, drives_the_applet_and_tells_what_it_showed_and_wrote) {
  const auto& c = GetParam();
  MakeMachine(c.gmFile, c.gmBank);
  EXPECT_EQ(Run(c.args), c.exit) << out_.str() << err_.str();
  for (const auto& text : c.shown)
    EXPECT_NE(out_.str().find(text), std::string::npos) << text << "\n" << out_.str();
  EXPECT_EQ(StoredBank(), c.bankAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AppletCommandCases,
    ::testing::Values(
        Case{"pick_and_ok",
             15,
             2,
             {"--pick", "1mb"},
             0,
             1,
             {"  name:        \"J6 Audio\"", "icon:        101", "size 468",
              "radio 1102 [x] \"2 MB PC RAM\"\n", "radio 1101 [x] \"1 MB PC RAM\"\n",
              "\"GmBank\" = 1 (REG_DWORD)", "CPL_EXIT -> 1"}},
        Case{"pick_and_cancel", 15, 2, {"--pick", "rom", "--cancel"}, 0, 2, {"Nothing was written."}},
        Case{"ok_without_a_pick",
             15,
             4,
             {},
             0,
             4,
             {"radio 1104 [x] \"4 MB PC RAM\"\n", "Nothing was written."}},
        Case{"pick_of_a_disabled_bank",
             7,
             0,
             {"--pick", "4mb"},
             1,
             0,
             {"radio 1104 [ ] \"4 MB PC RAM\" disabled", "cannot click radio 1104",
              "the machine was not saved"}},
        Case{"marked_but_disabled",
             1,
             4,
             {"--pick", "rom"},
             0,
             0,
             {"radio 1104 [x] \"4 MB PC RAM\" disabled", "radio 1100 [ ] \"Onboard ROM\"\n"}},
        Case{"key_missing",
             std::nullopt,
             std::nullopt,
             {},
             0,
             std::nullopt,
             {"created key " + kDevice0, "radio 1100 [ ] \"Onboard ROM\" disabled"}},
        Case{"interactive_with_a_pick", 15, 2, {"--interactive", "--pick", "rom"}, 2, 2, {}},
        Case{"ok_and_cancel", 15, 2, {"--ok", "--cancel"}, 2, 2, {}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(AppletCommand, refuses_machines_without_the_applet) {
  MakeMachine(15, 2, /*installed=*/false);
  EXPECT_EQ(Run({}), 2);
  EXPECT_NE(err_.str().find("j6audio.cpl is not installed"), std::string::npos) << err_.str();

  fs::remove_all(dir_);
  MakeMachine(15, 2, /*installed=*/true, platform::WindowsFamily::k95);
  EXPECT_EQ(Run({}), 2);
  EXPECT_NE(err_.str().find("Windows NT"), std::string::npos) << err_.str();
}

TEST_F(AppletCommand, interactive_user_answers_at_the_terminal) {
  MakeMachine(0x7, 0);
  std::ofstream(dir_.string() + ".in") << "1104\nx\n2 MB PC RAM\nOK\n";
  std::string command = std::string(J6SIM_PATH) + " applet " + dir_.string() + " --interactive < " +
                        dir_.string() + ".in > " + dir_.string() + ".out";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(dir_.string() + ".out");
  std::string out{std::istreambuf_iterator<char>(in), {}};
  fs::remove(dir_.string() + ".in");
  fs::remove(dir_.string() + ".out");
  for (const char* text : {"That cannot be clicked: radio 1104", "There is no control \"x\"",
                           "> click 1102 \"2 MB PC RAM\"", "> click 1 \"OK\"", "\"GmBank\" = 2 (REG_DWORD)"})
    EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
  EXPECT_EQ(StoredBank(), 2u);
}

}  // namespace
