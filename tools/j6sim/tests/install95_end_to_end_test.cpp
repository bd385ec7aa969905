// The Windows 95 installer on a simulated PC from start to end: install from the package's disk,
// restart, remove, restart. Afterwards the drive and the registry must be as a real installation and
// removal leave them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "disk95/disk95.h"
#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::J6sim;
using j6sim_test::ReadText;
using j6sim_test::Result;
using j6sim_test::TempFolderTest;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

constexpr const char* kAutoexec =
    "@ECHO OFF\r\nSET BLASTER=A220 I5 D1\r\nPATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND\r\n";
constexpr const char* kConfig = "device=c:\\windows\\himem.sys\r\nFILES=40\r\n";
constexpr const char* kWave = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\wave";

class Install95EndToEnd : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    pc_ = (dir_ / "pc").string();
    disk_ = dir_ / "disk";
    disk95::WriteWindows95Disk(disk_);
    ASSERT_EQ(J6sim({"new", pc_}).status, 0);
  }

  fs::path Drive() const { return fs::path(pc_) / "C"; }
  // Every file of drive C but the disk, by lower-case path, with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(Drive())) {
      std::string rel = Lower(fs::relative(e.path(), Drive()).generic_string());
      if (e.is_regular_file() && rel.rfind("j6disk/", 0) != 0) files[rel] = ReadText(e.path());
    }
    return files;
  }
  std::set<std::string> RegistryLines() const {
    std::set<std::string> lines;
    std::istringstream in(ReadText(fs::path(pc_) / "registry.reg"));
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
  }
  // Changes to a stopped machine: what Windows itself does while it runs.
  template <typename Change>
  void WhileWindowsRuns(Change change) {
    auto machine = sim::Machine::Load(pc_);
    {
      auto process = machine->StartProcess("EXPLORER.EXE");
      change(*machine, process->Os());
    }
    machine->Save();
  }
  Result Install95(const std::string& choose) {
    return J6sim({"install95", pc_, "--disk", disk_.string(), "--choose", choose, "--answer", "dls=no",
                  "--reboot", "no"});
  }

  fs::path disk_;
  std::string pc_;
};

TEST_F(Install95EndToEnd, install_restart_remove_restart_leaves_the_machine_as_it_was) {
  std::ofstream(Drive() / "AUTOEXEC.BAT", std::ios::binary) << kAutoexec;
  std::ofstream(Drive() / "CONFIG.SYS", std::ios::binary) << kConfig;
  WhileWindowsRuns([](sim::Machine&, platform::Os& os) {
    platform::HKey key = 0;
    os.registry->CreateKey(platform::kHkeyLocalMachine,
                           "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\wave", &key);
    os.registry->CloseKey(key);
  });
  const auto filesBefore = Files();
  const auto registryBefore = RegistryLines();

  // An earlier, stray copy of the wave driver that Windows holds open: it is replaced at the restart.
  std::ofstream(Drive() / "WINDOWS" / "SYSTEM" / "j6wave.drv", std::ios::binary) << "old wave driver";
  WhileWindowsRuns([](sim::Machine& m, platform::Os&) {
    m.Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true);
  });

  Result install = Install95("install-windows,install-dos");
  ASSERT_EQ(install.status, 0) << install.err;
  EXPECT_EQ(ReadText(Drive() / "WINDOWS" / "SYSTEM" / "j6wave.drv"), "old wave driver");
  for (const char* name : {"J6CVXD.VXD", "J6BASE.DLL", "j6thunk.dll", "j6fm.drv", "j6midi.drv", "J6Audio.cpl",
                           "j6gm1.bin", "j6gm8.bin"})
    EXPECT_EQ(ReadText(Drive() / "WINDOWS" / "SYSTEM" / name), ReadText(disk_ / name)) << name;
  EXPECT_EQ(ReadText(Drive() / "WINDOWS" / "INF" / "J6AUDIO.INF"), ReadText(disk_ / "J6AUDIO.INF"));
  for (const char* name : {"j6legacy.com", "j6mixer.exe", "j6init.ini", "j6dosvm.exe"})
    EXPECT_TRUE(fs::exists(Drive() / "WINDOWS" / name)) << name;
  EXPECT_EQ(ReadText(Drive() / "AUTOEXEC.BAT"),
            std::string("@LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS\r\n@LH C:\\WINDOWS\\J6MIXER.EXE /x\r\n"
                        "@LH C:\\WINDOWS\\J6DOSVM.EXE \r\n") +
                kAutoexec);

  Result restart = J6sim({"reboot", pc_});
  ASSERT_EQ(restart.status, 0) << restart.err;
  EXPECT_EQ(ReadText(Drive() / "WINDOWS" / "SYSTEM" / "j6wave.drv"), ReadText(disk_ / "j6wave.drv"));

  // At the restart Windows sets the card up from the INF: its multimedia entry and the virtual device's
  // keys. The wave driver is loaded, so the removal can only schedule its deletion.
  WhileWindowsRuns([](sim::Machine& m, platform::Os& os) {
    for (const char* path : {"SYSTEM\\CurrentControlSet\\Control\\MediaResources\\wave\\j6wave.drv<0000>",
                             "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVANTIS"}) {
      platform::HKey key = 0;
      os.registry->CreateKey(platform::kHkeyLocalMachine, path, &key);
      const char id[] = "PCI\\VEN_7A4E&DEV_E100&SUBSYS_00000000&REV_01";
      os.registry->SetValue(key, "DeviceID", platform::kRegSz, reinterpret_cast<const std::uint8_t*>(id),
                            sizeof id);
      os.registry->CloseKey(key);
    }
    m.Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true);
  });

  Result remove = Install95("remove-windows,remove-dos");
  ASSERT_EQ(remove.status, 0) << remove.err;
  EXPECT_NE(remove.out.find("dialog 102"), std::string::npos) << remove.out;
  EXPECT_TRUE(fs::exists(Drive() / "WINDOWS" / "SYSTEM" / "j6wave.drv"));
  ASSERT_EQ(J6sim({"reboot", pc_}).status, 0);

  // Drive C: the start-up files as the removal leaves them (CONFIG files keep the installation's
  // memory lines, as the removal never touches them), the restart's wininit.bak, and nothing else.
  auto filesAfter = Files();
  std::set<std::string> added, changed, removed;
  for (const auto& [path, bytes] : filesAfter) {
    auto before = filesBefore.find(path);
    if (before == filesBefore.end())
      added.insert(path);
    else if (before->second != bytes)
      changed.insert(path);
  }
  for (const auto& [path, bytes] : filesBefore)
    if (!filesAfter.count(path)) removed.insert(path);
  EXPECT_EQ(added, (std::set<std::string>{"config.dos", "windows/wininit.bak"}));
  EXPECT_EQ(changed, (std::set<std::string>{"config.sys"}));
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(filesAfter["autoexec.bat"], kAutoexec);
  EXPECT_EQ(filesAfter["config.sys"],
            "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nDEVICE=C:\\WINDOWS\\EMM386.EXE \r\nDOS=HIGH,UMB\r\n"
            "REM  device=c:\\windows\\himem.sys\r\nFILES=40\r\n");

  // Registry: the card's keys are gone; only the tray's volume switch, which the installation turned
  // on, stays changed.
  auto registryAfter = RegistryLines();
  std::vector<std::string> onlyBefore, onlyAfter;
  std::set_difference(registryBefore.begin(), registryBefore.end(), registryAfter.begin(),
                      registryAfter.end(), std::back_inserter(onlyBefore));
  std::set_difference(registryAfter.begin(), registryAfter.end(), registryBefore.begin(),
                      registryBefore.end(), std::back_inserter(onlyAfter));
  ASSERT_EQ(onlyBefore.size(), 1u);
  ASSERT_EQ(onlyAfter.size(), 1u);
  EXPECT_EQ(onlyBefore[0].rfind("\"Services\"=", 0), 0u) << onlyBefore[0];
  EXPECT_EQ(onlyAfter[0].rfind("\"Services\"=", 0), 0u) << onlyAfter[0];
  // The class key Windows keeps for its wave devices stays.
  EXPECT_NE(Lower(ReadText(fs::path(pc_) / "registry.reg")).find(Lower(std::string("[") + kWave + "]")),
            std::string::npos);
}

}  // namespace

namespace {

TEST(Demo, installs_in_install_mode_and_the_restart_puts_the_busy_driver_in_place) {
  auto r = J6sim({"demo"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("dialog 148"), std::string::npos);
  EXPECT_EQ(r.out.find("dialog 141"), std::string::npos);  // install mode has no finish page
  EXPECT_NE(r.out.find("\"OVSetupProfile\": 20 00"), std::string::npos);
  EXPECT_NE(r.out.find("  | @LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS"), std::string::npos);
  EXPECT_NE(r.out.find("replaced C:\\WINDOWS\\system\\j6wave.drv by C:\\WINDOWS\\j6a"), std::string::npos);
  // Then the NT machine: setup installs the driver, and the applet picks a bank.
  EXPECT_NE(r.out.find("service running: J6KNLDRV"), std::string::npos);
  EXPECT_NE(r.out.find("\"GmFile\" = 15"), std::string::npos);
  EXPECT_NE(r.out.find("> click 1102 \"2 MB PC RAM\""), std::string::npos);
  EXPECT_NE(r.out.find("Registry: wrote HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\j6knldrv\\"
                       "Parameters\\Device0 \"GmBank\" = 2 (REG_DWORD)"),
            std::string::npos)
      << r.out;
}

}  // namespace
