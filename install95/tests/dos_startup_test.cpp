#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "install95/dos_utilities.h"
#include "install_machine.h"

namespace install95 {
namespace {

using File = std::optional<std::string>;
constexpr const char* kConfigSys = "C:\\CONFIG.SYS";
constexpr const char* kConfigDos = "C:\\CONFIG.DOS";
constexpr const char* kAutoexecBat = "C:\\AUTOEXEC.BAT";
constexpr const char* kAutoexecDos = "C:\\AUTOEXEC.DOS";

// Lines as a DOS editor saves them; a final "" entry leaves the last line without its line end.
std::string Dos(std::initializer_list<std::string> lines) {
  std::vector<std::string> all(lines);
  bool open = !all.empty() && all.back().empty();
  if (open) all.pop_back();
  std::string text;
  for (const std::string& line : all) text += line + "\r\n";
  if (open && text.size() >= 2) text.resize(text.size() - 2);
  return text;
}

const std::string kLongHimem = "DEVICE=C:\\WINDOWS\\HIMEM.SYS /TESTMEM:OFF" + std::string(260, 'v');
const std::string kLongPath = "INSTALL=C:\\UTILS\\TOOL.EXE " + std::string(250, 'o') + " C:\\DOS\\TOOL.CFG";
const std::string kLongMixer = "@LH C:\\WINDOWS\\J6MIXER.EXE /x" + std::string(270, ' ') + "/q";
const std::string kLongSet = "SET J6PATH=" + std::string(280, 'X') + ";C:\\WINDOWS\\J6MIXER.EXE";

const std::string kNewAutoexecHead =
    Dos({"@LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS", "@LH C:\\WINDOWS\\J6MIXER.EXE /x",
         "@LH C:\\WINDOWS\\J6DOSVM.EXE "});

// An AUTOEXEC.BAT as people write them, already holding the utilities in several spellings.
const std::string kTypicalAutoexec =
    Dos({"@ECHO OFF", "rem Sound card set-up", "SET BLASTER=A220 I5 D1 T4",
         "@LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS", "lh c:\\windows\\j6mixer.exe /x",
         "C:\\Windows\\J6DosVm.exe", kLongMixer, kLongSet, "PATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND;C:\\DOS",
         "", "C:\\DOS\\MOUSE.COM", ""});
const std::string kTypicalAutoexecKept =
    Dos({"@ECHO OFF", "rem Sound card set-up", "SET BLASTER=A220 I5 D1 T4", kLongSet,
         "PATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND;C:\\DOS", "", "C:\\DOS\\MOUSE.COM", ""});

// A CONFIG.SYS as people write them.
const std::string kTypicalConfig =
    Dos({"REM  Memory managers", "device=c:\\windows\\himem.sys",
         "device=c:\\windows\\emm386.exe noems x=d000-dfff", "dos=umb", "DEVICEHIGH=C:\\DOS\\SETVER.EXE",
         "FILES=40", "C:\\DOS\\SMARTDRV.EXE /X", "PREMIUM=1", "Shell=C:\\COMMAND.COM C:\\ /E:1024 /P",
         kLongPath, "", "buffers=20", ""});

struct StartupCase {
  const char* name;
  StartupEdit mode;
  int chipsetFlag;
  std::map<std::string, File> before;
  std::map<std::string, File> after;  // what the named files hold afterwards (nullopt: not there)
};

const StartupCase kStartupCases[] = {
    {"install_on_an_empty_drive",
     StartupEdit::kInstall,
     0,
     {},
     {{kConfigSys, Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "DEVICE=C:\\WINDOWS\\EMM386.EXE ", "DOS=HIGH,UMB"})},
      {kConfigDos, Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "DEVICE=C:\\WINDOWS\\EMM386.EXE ", "DOS=HIGH,UMB"})},
      {kAutoexecBat, kNewAutoexecHead},
      {kAutoexecDos, std::nullopt}}},
    {"install_on_an_empty_drive_with_the_chipset_flag",
     StartupEdit::kInstall,
     1,
     {},
     {{kConfigSys, Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "DOS=HIGH"})},
      {kConfigDos, Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "DOS=HIGH"})},
      {kAutoexecBat,
       Dos({"@LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS", "@LH C:\\WINDOWS\\J6MIXER.EXE /x"})},
      {kAutoexecDos, std::nullopt}}},
    {"install_over_files_people_wrote",
     StartupEdit::kInstall,
     0,
     {{kConfigSys, kTypicalConfig}, {kAutoexecBat, kTypicalAutoexec}, {kAutoexecDos, kTypicalAutoexec}},
     {{kConfigSys,
       Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "DEVICE=C:\\WINDOWS\\EMM386.EXE  X=D000-DFFF", "DOS=UMB,HIGH",
            "REM  Memory managers", "REM  device=c:\\windows\\himem.sys",
            "REM  device=c:\\windows\\emm386.exe noems x=d000-dfff", "REM  dos=umb",
            "DEVICEHIGH=C:\\DOS\\SETVER.EXE", "FILES=40", "REM  C:\\DOS\\SMARTDRV.EXE /X", "PREMIUM=1",
            "Shell=C:\\COMMAND.COM C:\\ /E:1024 /P", kLongPath, "", "buffers=20", ""})},
      {kAutoexecBat, kNewAutoexecHead + kTypicalAutoexecKept},
      {kAutoexecDos, kNewAutoexecHead + kTypicalAutoexecKept}}},
    {"removal_drops_every_utility_line_and_leaves_config_alone",
     StartupEdit::kRemove,
     0,
     {{kConfigSys, kTypicalConfig}, {kAutoexecBat, kTypicalAutoexec}, {kAutoexecDos, kTypicalAutoexec}},
     {{kConfigSys, kTypicalConfig},
      {kConfigDos, std::nullopt},
      {kAutoexecBat, kTypicalAutoexecKept},
      {kAutoexecDos, kTypicalAutoexecKept}}},
    {"removal_creates_an_empty_autoexec_bat_only",
     StartupEdit::kRemove,
     0,
     {},
     {{kConfigSys, std::nullopt}, {kAutoexecBat, ""}, {kAutoexecDos, std::nullopt}}},
    // The first line is only tested for the legacy driver and the mixer.
    {"install_keeps_a_first_line_naming_only_the_dos_vm_utility",
     StartupEdit::kInstall,
     0,
     {{kAutoexecBat, Dos({"C:\\WINDOWS\\J6DOSVM.EXE", "@ECHO OFF", "c:\\windows\\j6dosvm.exe"})}},
     {{kAutoexecBat, kNewAutoexecHead + Dos({"C:\\WINDOWS\\J6DOSVM.EXE", "@ECHO OFF"})},
      {kAutoexecDos, std::nullopt}}},
    // A path through C:\DOS on a line without "=" counts as the DOS line.
    {"a_line_through_c_dos_without_equals_is_the_dos_line",
     StartupEdit::kInstall,
     1,
     {{kConfigSys, Dos({"C:\\DOS\\MOUSE.SYS /Y", "DOS=HIGH"})}},
     {{kConfigSys, Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "C:\\DOS\\MOUSE.SYS /Y,HIGH",
                        "REM  C:\\DOS\\MOUSE.SYS /Y", "REM  DOS=HIGH"})}}},
    // Only the first 255 characters of a line are examined and held; the line stays whole in place.
    {"a_long_device_line_is_held_cut_and_commented_out_whole",
     StartupEdit::kInstall,
     1,
     {{kConfigSys, Dos({kLongHimem, "dos=high,umb"})}},
     {{kConfigSys, Dos({[] {
                          std::string head;
                          for (char c : kLongHimem.substr(0, 255)) head += static_cast<char>(std::toupper(c));
                          return head;
                        }(),
                        "DOS=HIGH,UMB", "REM  " + kLongHimem, "REM  dos=high,umb"})}}},
    // A held line that was the last one, without a line end, still gets one in the head.
    {"a_last_line_without_line_end_does_not_run_into_the_next_head_line",
     StartupEdit::kInstall,
     0,
     {{kConfigSys, Dos({"FILES=30", "device=C:\\DOS\\HIMEM.SYS", ""})}},
     {{kConfigSys, Dos({"DEVICE=C:\\DOS\\HIMEM.SYS", "DEVICE=C:\\WINDOWS\\EMM386.EXE ", "DOS=HIGH,UMB",
                        "FILES=30", "REM  device=C:\\DOS\\HIMEM.SYS", ""})}}},
    // Lower-case names, Unix line ends and a Ctrl-Z at the end, as old editors left them.
    {"unix_line_ends_and_a_ctrl_z_end_are_read_as_text",
     StartupEdit::kRemove,
     0,
     {{kAutoexecBat, "@echo off\nlh j6mixer.exe\nprompt $p$g\n\x1A"}},
     {{kAutoexecBat, "@echo off\r\nprompt $p$g\r\n"}}},
};

class StartupFilesTest : public testing::InstallMachine, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupFilesTest, rewrites_the_start_up_files) {
  const StartupCase& c = GetParam();
  for (const auto& [path, bytes] : c.before)
    if (bytes) PutFile(path, *bytes);

  App().chipsetFlag = c.chipsetFlag;
  EditDosStartupFiles(App(), c.mode);

  for (const auto& [path, bytes] : c.after) EXPECT_EQ(GetFile(path), bytes) << path;
  EXPECT_TRUE(Find("C:\\*.TMP").empty()) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupFilesTest, ::testing::ValuesIn(kStartupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupFilesTest, installing_twice_leaves_one_set_of_utility_lines) {
  PutFile(kAutoexecBat, kTypicalAutoexec);
  EditDosStartupFiles(App(), StartupEdit::kInstall);
  File once = GetFile(kAutoexecBat);
  EditDosStartupFiles(App(), StartupEdit::kInstall);
  EXPECT_EQ(GetFile(kAutoexecBat), once);
  EXPECT_EQ(once, kNewAutoexecHead + kTypicalAutoexecKept);
}

// A start-up file is only ever replaced by a complete new version: whatever step fails, each file ends
// up either as it was, byte for byte, or exactly as a run without failures leaves it.
TEST_F(StartupFilesTest, a_failing_step_never_leaves_a_start_up_file_half_written) {
  const std::map<std::string, std::string> before = {{kConfigSys, kTypicalConfig},
                                                     {kConfigDos, Dos({"FILES=20"})},
                                                     {kAutoexecBat, kTypicalAutoexec},
                                                     {kAutoexecDos, Dos({"@ECHO OFF", "LH J6MIXER.EXE"})}};
  for (const auto& [path, bytes] : before) PutFile(path, bytes);
  sim::Faults& faults = Faults();
  const std::vector<std::string> points = {sim::fault::kFileCreate, sim::fault::kFileRead,
                                           sim::fault::kFileWrite, sim::fault::kFileCopy,
                                           sim::fault::kFileDelete};
  std::map<std::string, std::uint64_t> start;
  for (const auto& point : points) start[point] = faults.Hits(point);
  EditDosStartupFiles(App(), StartupEdit::kInstall);
  std::map<std::string, std::uint64_t> hitsPerRun;
  for (const auto& point : points) hitsPerRun[point] = faults.Hits(point) - start[point];
  std::map<std::string, std::string> good;
  for (const auto& [path, bytes] : before) good[path] = *GetFile(path);

  for (const auto& point : points) {
    std::uint64_t hits = hitsPerRun[point];
    ASSERT_GT(hits, 0u) << point;
    for (std::uint64_t n = 0; n < hits; ++n) {
      for (const auto& [path, bytes] : before) PutFile(path, bytes);
      for (const auto& name : Find("C:\\*.TMP")) Os().files->DeleteFile(("C:\\" + name).c_str());
      faults.Arm(point, static_cast<std::uint32_t>(n), 1);
      EditDosStartupFiles(App(), StartupEdit::kInstall);
      faults.Clear();
      for (const auto& [path, bytes] : before) {
        File now = GetFile(path);
        EXPECT_TRUE(now == bytes || now == good[path]) << point << " #" << n + 1 << ": " << path;
      }
    }
  }
}

struct LocateCase {
  const char* name;
  std::vector<std::string> files;  // made on drive C before the search
  const char* folder;
  int found;
};

const LocateCase kLocateCases[] = {
    {"dos_folder_first", {"C:\\DOS\\HIMEM.SYS", "C:\\HIMEM.SYS"}, "C:\\DOS", 1},
    {"drive_root", {"C:\\HIMEM.SYS"}, "C:", 1},
    {"another_top_folder", {"C:\\OLDDOS\\HIMEM.SYS"}, "C:\\OLDDOS", 1},
    {"not_the_windows_folders",
     {"C:\\WINDOWS\\HIMEM.SYS", "C:\\WINDOWS\\COMMAND\\HIMEM.SYS"},
     "C:\\WINDOWS",
     0},
    {"a_folder_of_that_name_is_no_file", {"C:\\DOS\\HIMEM.SYS\\README.TXT"}, "C:\\WINDOWS", 0},
    {"nothing_anywhere", {}, "C:\\WINDOWS", 0},
};

class LocateDosDirectoryTest : public testing::InstallMachine,
                               public ::testing::WithParamInterface<LocateCase> {};

TEST_P(LocateDosDirectoryTest, finds_the_folder) {
  for (const std::string& file : GetParam().files) {
    for (std::size_t at = file.find('\\', 3); at != std::string::npos; at = file.find('\\', at + 1))
      Os().files->CreateDirectory(file.substr(0, at).c_str());
    PutFile(file, "driver");
  }
  char folder[platform::kMaxPath];
  std::memset(folder, 'Z', sizeof folder);
  EXPECT_EQ(LocateDosDirectory(App(), folder, "HIMEM.SYS"), GetParam().found);
  EXPECT_STREQ(folder, GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Cases, LocateDosDirectoryTest, ::testing::ValuesIn(kLocateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupFilesTest, config_dos_takes_the_drivers_of_the_earlier_dos) {
  MakeFolder("C:\\DOS");
  PutFile("C:\\HIMEM.SYS", "driver");
  PutFile("C:\\DOS\\EMM386.EXE", "driver");
  PutFile(kConfigDos, Dos({"FILES=20"}));
  EditDosStartupFiles(App(), StartupEdit::kInstall);
  EXPECT_EQ(GetFile(kConfigDos),
            Dos({"DEVICE=C:\\HIMEM.SYS", "DEVICE=C:\\DOS\\EMM386.EXE ", "DOS=HIGH,UMB", "FILES=20"}));
  EXPECT_EQ(GetFile(kConfigSys),
            Dos({"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "DEVICE=C:\\WINDOWS\\EMM386.EXE ", "DOS=HIGH,UMB"}));
}

TEST_F(StartupFilesTest, delete_dos_utilities_removes_all_four_even_read_only) {
  const char* const names[] = {"C:\\WINDOWS\\J6LEGACY.COM", "C:\\WINDOWS\\J6MIXER.EXE",
                               "C:\\WINDOWS\\J6INIT.INI", "C:\\WINDOWS\\J6DOSVM.EXE"};
  for (const char* name : names) PutFile(name, "utility");
  Os().files->SetFileAttributes(names[0], platform::kFileAttributeReadOnly | platform::kFileAttributeArchive);
  PutFile("C:\\WINDOWS\\J6OTHER.EXE", "keep");
  DeleteDosUtilities(App());
  for (const char* name : names) EXPECT_FALSE(FileThere(name)) << name;
  EXPECT_TRUE(FileThere("C:\\WINDOWS\\J6OTHER.EXE"));
  DeleteDosUtilities(App());  // nothing left to delete: no harm
}

}  // namespace
}  // namespace install95

namespace install95 {
namespace {

class CopyDosUtilitiesTest : public testing::InstallMachine {};

TEST_F(CopyDosUtilitiesTest, copies_from_the_disk_without_asking) {
  for (const char* name : {"J6LEGACY.COM", "J6MIXER.EXE", "J6INIT.INI", "J6DOSVM.EXE"})
    PutFile(std::string("C:\\J6DISK\\") + name, name);
  for (int chipsetFlag : {0, 1}) {
    DeleteDosUtilities(App());
    App().chipsetFlag = chipsetFlag;
    UseUser();  // no steps: any dialog would stop the test
    CopyDosUtilities(App());
    EXPECT_EQ(GetFile("C:\\WINDOWS\\j6legacy.com"), "J6LEGACY.COM");
    EXPECT_EQ(GetFile("C:\\WINDOWS\\j6mixer.exe"), "J6MIXER.EXE");
    EXPECT_EQ(GetFile("C:\\WINDOWS\\j6init.ini"), "J6INIT.INI");
    EXPECT_EQ(FileThere("C:\\WINDOWS\\j6dosvm.exe"), chipsetFlag == 0);
  }
}

// A utility missing on the disk is asked for; a cancelled dialog explains and the next file goes on.
TEST_F(CopyDosUtilitiesTest, asks_for_a_missing_utility_and_explains_a_cancel) {
  PutFile("C:\\J6DISK\\J6LEGACY.COM", "legacy");
  MakeFolder("C:\\UTILS");
  PutFile("C:\\UTILS\\MIXER.EXE", "mixer from elsewhere");
  PutFile("C:\\J6DISK\\J6DOSVM.EXE", "vm");
  UseUser("open C:\\UTILS\\MIXER.EXE\ncancel-open\nanswer ok if J6INIT.INI");
  CopyDosUtilities(App());
  EXPECT_EQ(GetFile("C:\\WINDOWS\\j6mixer.exe"), "mixer from elsewhere");
  EXPECT_FALSE(FileThere("C:\\WINDOWS\\j6init.ini"));
  EXPECT_EQ(GetFile("C:\\WINDOWS\\j6dosvm.exe"), "vm");
  EXPECT_TRUE(Shown("file dialog \"Select File...\" filter \"EXE files|*.exe|\" in \"C:\\J6DISK\""));
  EXPECT_TRUE(Shown("file dialog \"Select File...\" filter \"INI files|*.ini|\""));
  EXPECT_TRUE(Shown("message box \"File copy error!\" [OK, exclamation]"));
  EXPECT_TRUE(Shown("You may need to copy the file J6INIT.INI\\nto Windows directory!"));
}

}  // namespace
}  // namespace install95
