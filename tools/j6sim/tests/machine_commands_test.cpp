#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/registry.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::J6sim;
using j6sim_test::ReadText;
using j6sim_test::Result;
using j6sim_test::TempFolderTest;
using namespace platform;

// Every file of a folder with its contents, to show that nothing changed.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    files[fs::relative(entry.path(), dir).string()] =
        entry.is_regular_file() ? ReadText(entry.path()) : "<dir>";
  return files;
}

class MachineCommands : public TempFolderTest {
 protected:
  void Put(sim::Machine& machine, const std::string& path, const std::string& text) {
    auto process = machine.StartProcess("setup");
    FileSystem& files = *process->Os().files;
    FileHandle h = files.OpenFile(path.c_str(), OpenMode::kCreateAlways);
    ASSERT_NE(h, kInvalidFileHandle) << path;
    std::uint32_t written = 0;
    files.WriteFile(h, text.data(), std::uint32_t(text.size()), &written);
    files.CloseFile(h);
  }
  std::string Drive(const std::string& relative) {
    fs::path p = dir_ / "C" / relative;
    return fs::exists(p) ? ReadText(p) : "<missing>";
  }
};

TEST_F(MachineCommands, new_machine_has_the_keys_a_fresh_windows_has) {
  Result made = J6sim({"new", dir_.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string reg = ReadText(dir_ / "registry.reg");
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce]"),
            std::string::npos);
  EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray]\r\n"
                     "\"Services\"=dword:00000000"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "C" / "WINDOWS" / "wininit.ini"));
  Result shown = J6sim({"show", dir_.string()});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Registry keys:"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("bytes free"), std::string::npos) << shown.out;

  fs::path nt = dir_ / "nt";
  ASSERT_EQ(J6sim({"new", nt.string(), "--os", "nt"}).status, 0);
  EXPECT_NE(ReadText(nt / "registry.reg").find("Control\\Session Manager]"), std::string::npos);
}

TEST_F(MachineCommands, new_refuses_folders_off_drive_c) {
  for (const char* bad : {"D:\\WINDOWS", "C:\\..\\x", "WINDOWS"}) {
    Result r = J6sim({"new", dir_.string(), "--windows-dir", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--windows-dir"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "machine.json"));
  }
}

TEST_F(MachineCommands, reboot_on_95_carries_out_wininit_rename) {
  ASSERT_EQ(J6sim({"new", dir_.string()}).status, 0);
  {
    auto machine = sim::Machine::Load(dir_);
    Put(*machine, "C:\\OLD.DRV", "old");
    Put(*machine, "C:\\WINDOWS\\SYSTEM\\j6wave.drv", "running");
    Put(*machine, "C:\\WINDOWS\\J6A1.TMP", "new driver");
    Put(*machine, "C:\\WINDOWS\\wininit.ini",
        "[Rename]\r\nNUL=C:\\OLD.DRV\r\nC:\\WINDOWS\\SYSTEM\\j6wave.drv=C:\\WINDOWS\\J6A1.TMP\r\n"
        "nul=C:\\MISSING.DRV\r\n");
    machine->Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true);
    machine->Save();
  }
  EXPECT_NE(J6sim({"show", dir_.string()}).out.find("3 wininit.ini [Rename] entries"), std::string::npos);
  Result r = J6sim({"reboot", dir_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Drive("OLD.DRV"), "<missing>");
  EXPECT_EQ(Drive("WINDOWS/SYSTEM/j6wave.drv"), "new driver");
  EXPECT_EQ(Drive("WINDOWS/J6A1.TMP"), "<missing>");
  EXPECT_EQ(Drive("WINDOWS/wininit.ini"), "<missing>");
  EXPECT_NE(Drive("WINDOWS/wininit.bak"), "<missing>");
  EXPECT_NE(r.out.find("deleted C:\\OLD.DRV"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("replaced C:\\WINDOWS\\SYSTEM\\j6wave.drv by C:\\WINDOWS\\J6A1.TMP"),
            std::string::npos);
  EXPECT_NE(r.out.find("not deleted C:\\MISSING.DRV: error 2"), std::string::npos) << r.out;
  auto machine = sim::Machine::Load(dir_);
  EXPECT_EQ(machine->Get<sim::Drive>().InUseCount(), 0u);
  // A second restart finds nothing to do.
  Result again = J6sim({"reboot", dir_.string()});
  EXPECT_NE(again.out.find("no wininit.ini"), std::string::npos) << again.out;
}

TEST_F(MachineCommands, reboot_on_nt_carries_out_pending_file_operations) {
  ASSERT_EQ(J6sim({"new", dir_.string(), "--os", "nt"}).status, 0);
  {
    auto machine = sim::Machine::Load(dir_);
    Put(*machine, "C:\\WINNT\\SYSTEM32\\j6base.dll", "old");
    Put(*machine, "C:\\WINNT\\TEMP\\SET1.TMP", "new");
    Put(*machine, "C:\\gone.txt", "x");
    Put(*machine, "C:\\b.tmp", "b");
    Put(*machine, "C:\\exists.txt", "keep");
    std::string list;
    for (const char* part : {"\\??\\C:\\WINNT\\TEMP\\SET1.TMP", "!\\??\\C:\\WINNT\\SYSTEM32\\j6base.dll",
                             "\\??\\C:\\gone.txt", "", "\\??\\C:\\b.tmp", "\\??\\C:\\exists.txt", ""})
      list += std::string(part) + '\0';
    auto key = machine->Get<sim::RegistryStore>().CreatePath(
        "HKLM\\System\\CurrentControlSet\\Control\\Session Manager");
    key->SetValue("PendingFileRenameOperations", kRegMultiSz,
                  std::vector<std::uint8_t>(list.begin(), list.end()));
    machine->Save();
  }
  EXPECT_NE(J6sim({"show", dir_.string()}).out.find("3 pending file operations"), std::string::npos);
  Result r = J6sim({"reboot", dir_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Drive("WINNT/SYSTEM32/j6base.dll"), "new");
  EXPECT_EQ(Drive("WINNT/TEMP/SET1.TMP"), "<missing>");
  EXPECT_EQ(Drive("gone.txt"), "<missing>");
  EXPECT_EQ(Drive("b.tmp"), "b");
  EXPECT_EQ(Drive("exists.txt"), "keep");
  EXPECT_NE(r.out.find("not renamed C:\\b.tmp: C:\\exists.txt exists"), std::string::npos) << r.out;
  EXPECT_EQ(ReadText(dir_ / "registry.reg").find("PendingFileRenameOperations"), std::string::npos);
}

TEST_F(MachineCommands, broken_folder_is_refused_with_file_and_line_and_left_alone) {
  struct Row {
    const char* file;
    const char* text;
    const char* where;
  };
  const Row rows[] = {
      {"registry.reg", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:zz\r\n", "registry.reg:3:"},
      {"registry.reg", "REGEDIT5\r\n", "registry.reg:1:"},
      {"attributes.json", "{\n  \"inUse\": [1]\n}\n", "attributes.json:2:"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    fs::remove_all(dir_);
    ASSERT_EQ(J6sim({"new", dir_.string()}).status, 0);
    {
      auto machine = sim::Machine::Load(dir_);
      Put(*machine, "C:\\OLD.DRV", "old");
      Put(*machine, "C:\\WINDOWS\\wininit.ini", "[Rename]\r\nNUL=C:\\OLD.DRV\r\n");
    }
    std::ofstream(dir_ / row.file, std::ios::binary) << row.text;
    const auto before = Snapshot(dir_);
    for (const char* command : {"reboot", "show"}) {
      Result r = J6sim({command, dir_.string()});
      EXPECT_EQ(r.status, 2);
      EXPECT_NE(r.err.find(row.where), std::string::npos) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_EQ(Snapshot(dir_), before);
    }
  }
}

}  // namespace
