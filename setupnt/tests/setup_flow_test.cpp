// The setup program's pages and their order: every way from the start to the end, the free-space check
// and the restart request.
#include "nt_machine.h"
#include "setupnt/setup_app.h"
#include "setupnt/templates.h"
#include "sim/processes.h"

namespace setupnt_test {
namespace {

const std::string kRunOnce = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kSystem = "C:\\WINNT\\system32\\";

enum class Installed { kUpToDate, kOlder };

struct FlowCase {
  const char* what;
  const char* commandLine;
  const char* script;  // scripted user, lines separated by '|'
  bool enoughSpace;
  Installed installed;
  std::vector<int> dialogs;
  bool installs;  // the new driver set was copied
  bool removes;   // the old driver files went
  bool runOnce;
  bool restart;
};

std::vector<sim::UiStep> Script(const std::string& text) {
  std::vector<sim::UiStep> steps;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find('|', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty()) steps.push_back(sim::ParseUiStep(line));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return steps;
}

using SetupFlow = NtMachine;

TEST_F(SetupFlow, every_way_through_the_pages) {
  // clang-format off
  const FlowCase cases[] = {
      {"welcome, cancel", "SETUP.EXE", "@131 click Cancel",
       true, Installed::kOlder, {131}, false, false, false, false},
      {"welcome, esc", "SETUP.EXE", "@131 close",
       true, Installed::kOlder, {131}, false, false, false, false},
      {"choice, cancel", "SETUP.EXE", "@131 click Next >|@102 click Cancel",
       true, Installed::kOlder, {131, 102}, false, false, false, false},
      {"choice, esc after the about box", "SETUP.EXE /I", "@102 click About setup...|@100 click OK|@102 close",
       true, Installed::kOlder, {102, 100}, false, false, false, false},
      {"remove, restart now", "SETUP.EXE", "@131 click Next >|@102 check 1002|@102 click OK|@132 click Finish",
       true, Installed::kOlder, {131, 102, 132}, false, true, false, true},
      {"remove under /I: no space or version check", "SETUP.EXE /I", "@102 check 1002|@102 click OK",
       false, Installed::kUpToDate, {102}, false, true, true, false},
      {"install, too little space", "SETUP.EXE /I", "@102 click OK|@133 click OK",
       false, Installed::kOlder, {102, 133}, false, false, false, false},
      {"install, too little space, esc", "SETUP.EXE", "@131 click Next >|@102 click OK|@133 close",
       false, Installed::kOlder, {131, 102, 133}, false, false, false, false},
      {"up to date, declined", "SETUP.EXE", "@131 click Next >|@102 click OK|answer no|@135 click Finish",
       true, Installed::kUpToDate, {131, 102, 135}, false, false, false, false},
      {"up to date, declined, esc", "SETUP.EXE", "@131 click Next >|@102 click OK|answer no|@135 close",
       true, Installed::kUpToDate, {131, 102, 135}, false, false, false, false},
      {"up to date, installed anyway, later", "SETUP.EXE",
       "@131 click Next >|@102 click OK|answer yes|@132 check 1002|@132 click Finish",
       true, Installed::kUpToDate, {131, 102, 132}, true, true, false, false},
      {"update, restart offer closed", "SETUP.EXE", "@131 click Next >|@102 click OK|@132 close",
       true, Installed::kOlder, {131, 102, 132}, true, true, false, false},
      {"update under /I", "SETUP.EXE /I", "@102 click OK",
       true, Installed::kOlder, {102}, true, true, true, false},
      {"lower-case /i is no switch", "SETUP.EXE /i", "@131 click Next >|@102 click OK|@132 click Finish",
       true, Installed::kOlder, {131, 102, 132}, true, true, false, true},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    PutDisk("C:\\DISK");
    WriteFile(kSystem + "drivers\\j6knldrv.sys",
              ntdisk::DriverImage("j6knldrv.sys", c.installed == Installed::kUpToDate ? "4.00" : "3.00"));
    // Removed by every sequence, and not brought back by the registry file.
    SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi9", "j6usrdrv.dll");
    MakeKey(kRunOnce);
    if (!c.enoughSpace) Machine().Config().freeBytes = 4096;
    Restart("C:\\DISK");
    SetUi(Script(c.script));

    setupnt::SetupApp app(Os(), c.commandLine);
    EXPECT_EQ(app.Run(), 0);

    EXPECT_EQ(Ui().DialogsShown(), c.dialogs);
    EXPECT_TRUE(Ui().UnusedSteps().empty());
    EXPECT_EQ(FileExists(kSystem + "j6usrdrv.dll"), c.installs);
    EXPECT_EQ(!ValueExists("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi9"),
              c.removes);
    EXPECT_EQ(ValueExists(kRunOnce, "OVSetupProfile"), c.runOnce);
    if (c.runOnce) {
      EXPECT_EQ(GetString(kRunOnce, "OVSetupProfile"), " ");
    }
    const auto& restarts = Machine().Get<sim::ProgramTable>().RestartRequests();
    EXPECT_EQ(restarts.size(), c.restart ? 1u : 0u);
    if (c.restart && !restarts.empty()) {
      EXPECT_EQ(restarts[0], platform::kEwxReboot);
    }
  }
}

TEST_F(SetupFlow, the_up_to_date_question_and_the_free_space_page_show_their_texts) {
  PutDisk("C:\\DISK");
  WriteFile(kSystem + "drivers\\j6knldrv.sys", ntdisk::DriverImage("j6knldrv.sys", "4.00"));
  Restart("C:\\DISK");
  SetUi(Script("@131 click Next >|@102 click OK|answer no|@135 click Finish"));
  setupnt::SetupApp(Os(), "SETUP.EXE").Run();
  std::string transcript;
  for (const auto& line : Ui().Transcript()) transcript += line + "\n";
  EXPECT_NE(transcript.find("message box \"Up-to-date driver detected ...\" [Yes/No, question]"),
            std::string::npos)
      << transcript;
  EXPECT_NE(
      transcript.find("An up-to-date driver is detected in your system.\\nDo you still want to continue?"),
      std::string::npos);
  EXPECT_NE(transcript.find("system menu 16 \"&About setup...\""), std::string::npos);

  Machine().Config().freeBytes = 4096;
  Restart("C:\\DISK");
  SetUi(Script("@102 click OK|@133 click OK"));
  setupnt::SetupApp app(Os(), "SETUP.EXE /I");
  app.Run();
  transcript.clear();
  for (const auto& line : Ui().Transcript()) transcript += line + "\n";
  EXPECT_NE(transcript.find("edit 1018 \"" + std::to_string(app.AvailableBytes) + "\""), std::string::npos)
      << transcript;
  EXPECT_NE(transcript.find("edit 1019 \"" + std::to_string(app.RequiredBytes) + "\""), std::string::npos);
  EXPECT_NE(transcript.find("edit 1020 \"C:\\\""), std::string::npos);
  EXPECT_NE(transcript.find("edit 1021 \"C:\\\""), std::string::npos);
}

TEST_F(SetupFlow, free_space_counts_every_entry_of_the_folder_against_64_bit_free_space_and_old_banks) {
  struct Case {
    const char* what;
    bool emptyFolder;
    std::uint64_t freeBytes;
    std::uint64_t oldBanks;  // bytes of j6gm*.bin already in the system directory
    bool fits;
  };
  // The folder holds 10,000 + 3,000 bytes; free space is counted in 4 KB clusters.
  const Case cases[] = {
      {"an empty folder fits without asking the drive", true, 0, 0, true},
      {"plenty", false, 1u << 20, 0, true},
      {"too little", false, 8192, 0, false},
      {"over 4 GB free is not cut to 32 bits", false, (4ull << 30) + 8192, 0, true},
      {"old banks count as free", false, 8192, 5000, true},
      {"old banks, still too little", false, 4096, 5000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    Os().files->CreateDirectory("C:\\DISK");
    if (!c.emptyFolder) {
      WriteFile("C:\\DISK\\a.bin", std::string(10000, 'a'));
      WriteFile("C:\\DISK\\sub\\b.bin", std::string(3000, 'b'));
    }
    if (c.oldBanks) {
      WriteFile(kSystem + "j6gm2.bin", std::string(c.oldBanks - 1000, 'g'));
      WriteFile(kSystem + "j6gm1.bin", std::string(1000, 'g'));
    }
    Machine().Config().freeBytes = c.freeBytes;
    Restart("C:\\DISK");
    setupnt::SetupApp app(Os(), "SETUP.EXE");
    EXPECT_EQ(app.HasEnoughSpace(), c.fits);
    if (c.emptyFolder) {
      EXPECT_EQ(app.RequiredBytes, 0u);
      EXPECT_EQ(app.AvailableBytes, 0u);
    } else {
      EXPECT_EQ(app.RequiredBytes, 10000u) << "a folder counts 0";
      EXPECT_EQ(app.AvailableBytes, c.freeBytes / 4096 * 4096 + c.oldBanks);
    }
  }
}

}  // namespace
}  // namespace setupnt_test
