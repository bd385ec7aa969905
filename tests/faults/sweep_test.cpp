// The sweep over the Windows 95 installer's flows and the library start.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "install95/installer_app.h"
#include "sim/drive.h"
#include "sim/faults.h"
#include "sim/gm_banks.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/ui.h"
#include "sim/vxd.h"
#include "tests/faults/sweep.h"
#include "tools/j6sim/commands.h"

namespace faults_test {
namespace {

// The user's answers to every page a Windows 95 run can show; `options` are the check boxes to tick on
// the choice page. The wavetable question is answered yes, so the Control Panel applet starts.
std::string Script95(const std::string& options) {
  std::string script = "@130 click Next -->\n";
  std::istringstream boxes(options);
  for (std::string box; boxes >> box;) script += "@102,145,146,147,148,151 check " + box + "\n";
  script +=
      "@102,145,146,147,148,151 click OK\n"
      "@141 click 1016\n@141,150 click Finish\n@140 click Finish\n@149 click OK\n"
      "answer yes if Downloadable Sounds\n";
  // Message boxes a failure may bring (a utility the file dialog cannot find, and so on).
  for (int i = 0; i < 10; ++i) script += "cancel-open\nanswer ok\n";
  return script;
}

struct Run95 {
  int status = -1;
  std::string stopped;  // the window the scripted user had no step for
  std::vector<std::string> transcript;
};

Run95 RunInstaller(sim::Machine& machine, const std::string& options, FaultWindow* window) {
  Run95 r;
  auto process = machine.StartProcess("INSTALLER.EXE", "C:\\J6DISK");
  std::istringstream script(Script95(options));
  sim::SimUi ui(sim::ParseUiSteps(script));
  ui.SetFiles(process->Os().files);
  process->Os().ui = &ui;
  if (window) window->Arm();
  try {
    r.status = install95::InstallerMain(process->Os(), "C:\\J6DISK\\INSTALLER.EXE");
  } catch (const sim::UiError& e) {
    r.stopped = e.what();
  }
  if (window) window->Disarm();
  process->Os().ui = nullptr;
  r.transcript = ui.Transcript();
  return r;
}

bool Shown(const Run95& r, const std::string& text) {
  for (const auto& line : r.transcript)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

const std::string kMedia = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\";
constexpr const char* kCardId = "PCI\\VEN_7A4E&DEV_E100&SUBSYS_00000000&REV_01\\BUS_00&DEV_0D&FUNC_00";

void SetString(platform::Registry& registry, platform::HKey root, const std::string& path, const char* name,
               const std::string& value) {
  platform::HKey key = 0;
  ASSERT_EQ(registry.CreateKey(root, path.c_str(), &key), 0u) << path;
  if (name)
    registry.SetValue(key, name, platform::kRegSz, reinterpret_cast<const std::uint8_t*>(value.c_str()),
                      static_cast<std::uint32_t>(value.size() + 1));
  registry.CloseKey(key);
}

// The INF copy's progress window showed no step: the file list it read was empty.
bool CopiedNothing(const Run95& r) {
  bool copying = false;
  for (const auto& line : r.transcript) {
    if (line.find("status \"Copying Files ...\"") != std::string::npos) copying = true;
    if (copying && line.rfind("  bar ", 0) == 0 && line != "  bar 0" && line != "  bar 100") return false;
    if (copying && line.rfind("closed progress window", 0) == 0) return true;
  }
  return copying;
}

void PrepareDisk(sim::Machine& machine) {
  j6sim::WriteStandInDisk95(machine.DriveRoot() / "J6DISK");
  // Start-up files with the user's own lines, which every edit must keep.
  const std::pair<const char*, const char*> startup[] = {
      {"CONFIG.SYS", "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nBUFFERS=20\r\n"},
      {"CONFIG.DOS", "DEVICE=C:\\DOS\\HIMEM.SYS\r\nFILES=30\r\n"},
      {"AUTOEXEC.BAT",
       "@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND\r\nSET TEMP=C:\\WINDOWS\\TEMP\r\n"},
      {"AUTOEXEC.DOS", "@ECHO OFF\r\nPATH C:\\DOS\r\n"}};
  for (const auto& [name, text] : startup)
    std::ofstream(machine.DriveRoot() / name, std::ios::binary) << text;
  // A rename another program left for the next start, which must survive every [Rename] write.
  std::ofstream(machine.DriveRoot() / "WINDOWS" / "wininit.ini", std::ios::binary)
      << "[Settings]\r\nUninstall=1\r\n[Rename]\r\nNUL=C:\\OLD.DRV\r\n";
  auto process = machine.StartProcess("REGEDIT.EXE");
  platform::Registry& registry = *process->Os().registry;
  SetString(registry, platform::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
            nullptr, "");
  // Another card's device, which no run may touch.
  SetString(registry, platform::kHkeyLocalMachine, kMedia + "wave\\other.drv<0000>", "DeviceID",
            "PCI\\VEN_1234&DEV_5678");
}

// Windows drivers and DOS utilities installed by an earlier run, with the registry entries Windows made
// for the card's devices from the INF, as a user finds them on the next run.
void PrepareInstalled(sim::Machine& machine) {
  PrepareDisk(machine);
  const Run95 r = RunInstaller(machine, "1009 1011", nullptr);
  ASSERT_EQ(r.status, 0) << r.stopped;
  ASSERT_TRUE(Shown(r, "closed dialog 141 (")) << "the first installation did not finish";
  auto process = machine.StartProcess("REGEDIT.EXE");
  platform::Registry& registry = *process->Os().registry;
  for (const char* device :
       {"aux\\j6wave.drv<0000>", "midi\\j6fm.drv<0000>", "midi\\j6midi.drv<0000>", "mixer\\j6wave.drv<0000>",
        "wave\\j6wave.drv<0000>", "joystick\\msjstick.drv<0000>"})
    SetString(registry, platform::kHkeyLocalMachine, kMedia + device, "DeviceID", kCardId);
  SetString(registry, platform::kHkeyLocalMachine, kMedia + "wave\\j6wave.drv<0000>\\Settings", "Volume",
            "1");
  SetString(registry, platform::kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS",
            "StaticVxD", "J6CVXD.VXD");
  SetString(registry, platform::kHkeyLocalMachine,
            "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS\\Config", "SysMemDlsRamSize", "1048576");
  SetString(registry, platform::kHkeyLocalMachine,
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVANTIS", "DisplayName",
            "J6 Orvantis");
}

// Whatever fails, the run ends on the closing page with exit status 0: no failure inside the actions
// stops the sequence or brings up a window the user was not asked about.
Flow Installer95(std::string name, std::function<void(sim::Machine&)> prepare, std::string options) {
  Flow flow;
  flow.name = std::move(name);
  flow.prepare = std::move(prepare);
  const std::string media = "HKEY_LOCAL_MACHINE\\" + kMedia;
  flow.ownKeys = {media + "aux\\j6wave.drv<0000>",
                  media + "midi\\j6fm.drv<0000>",
                  media + "midi\\j6midi.drv<0000>",
                  media + "mixer\\j6wave.drv<0000>",
                  media + "wave\\j6wave.drv<0000>",
                  media + "joystick\\msjstick.drv<0000>",
                  "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\ORVANTIS",
                  "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVANTIS",
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray"};
  flow.run = [options](sim::Machine& machine, FaultWindow& window) {
    const Run95 r = RunInstaller(machine, options, &window);
    Outcome o;
    o.ok = r.status == 0 && r.stopped.empty() && Shown(r, "closed dialog 141 (");
    o.detail = "exit " + std::to_string(r.status) + (r.stopped.empty() ? "" : ", user stopped: " + r.stopped);
    // J6AUDIO.INF that cannot be read lists nothing, as a missing one: after the old set's removal the
    // run copies no driver file, and says nothing.
    if (CopiedNothing(r)) o.skipped = {"C:\\WINDOWS\\SYSTEM\\*", "C:\\WINDOWS\\INF\\J6AUDIO.INF"};
    // The old DOS utilities are deleted before the new ones are copied, and a failed copy is not
    // reported: that utility is then missing.
    if (window.Point() == sim::fault::kFileCopy)
      for (const char* utility : {"j6legacy.com", "j6mixer.exe", "j6init.ini", "j6dosvm.exe"})
        o.skipped.push_back(std::string("C:\\WINDOWS\\") + utility);
    return o;
  };
  return flow;
}

TEST(Sweep, windows95_installer_installs_windows_and_dos_drivers_on_a_new_machine) {
  const auto f = RunSweep(Installer95("install95-new", PrepareDisk, "1009 1011"));
  for (const char* point : {"file.copy", "file.create", "file.write", "registry.write", "process.start"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

TEST(Sweep, windows95_installer_updates_with_a_driver_file_in_use) {
  auto prepare = [](sim::Machine& machine) {
    PrepareInstalled(machine);
    ASSERT_TRUE(machine.Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true));
  };
  const auto f = RunSweep(Installer95("install95-update", prepare, "1009 1011"));
  for (const char* point : {"file.copy", "file.delete", "file.create", "file.write", "registry.write"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

TEST(Sweep, windows95_installer_removes_windows_and_dos_drivers_with_a_file_in_use) {
  // A driver file in use: its deletion is deferred through wininit.ini.
  auto prepare = [](sim::Machine& machine) {
    PrepareInstalled(machine);
    ASSERT_TRUE(machine.Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true));
  };
  const auto f = RunSweep(Installer95("install95-remove", prepare, "1008 1010"));
  for (const char* point : {"file.delete", "file.create", "file.write", "registry.write"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

// Loading j6base and starting the card: VEXA_Initialize with the DLS engine's start, then VEXA_Exit.
// A start that fails reports a status; nothing may stay allocated either way.
Flow LibraryStart(std::string name, std::function<void(sim::Machine&)> prepare) {
  Flow flow;
  flow.name = std::move(name);
  flow.prepare = std::move(prepare);
  flow.run = [](sim::Machine& machine, FaultWindow& window) {
    Outcome o;
    auto process = machine.StartProcess("j6sim.exe");
    window.Arm();
    {
      j6base::SharedSection shared;
      j6base::ProcessContext context(shared, process->Os());
      j6base::LoadedLibrary library(context);
      j6base::ScopedProcess scope(context);
      std::uint32_t id = 0;
      const std::uint32_t status = VEXA_Initialize(machine.Config().card.hardwareKey, &id);
      o.detail = "VEXA_Initialize " + std::to_string(status);
      // A request the card's start needs refuses the start (2); one it can do without (the common
      // block, the DLS services, a bank file that falls back to the ROM) leaves the card working.
      o.ok = status == VEXA_OK || status == 2;
      if (status == VEXA_OK) VEXA_Exit(id);
    }
    window.Disarm();
    if (process->Memory().GlobalBytesInUse() != 0) o.problems.push_back("global memory left allocated");
    if (machine.Get<sim::VirtualDevice>().SharedAllocations() != 0)
      o.problems.push_back("shared allocations left");
    return o;
  };
  return flow;
}

TEST(Sweep, library_start_with_the_dls_engine) {
  const auto f = RunSweep(LibraryStart("library-start", nullptr));
  EXPECT_GT(f.hits.count("device.request"), 0u);
}

// The same with the General MIDI bank in PC memory: the bank file is read at the start.
TEST(Sweep, library_start_with_a_ram_bank) {
  auto prepare = [](sim::Machine& machine) {
    sim::InstallGmBanks(machine, {1}, 64 * 1024);
    auto process = machine.StartProcess("REGEDIT.EXE");
    platform::HKey key = 0;
    ASSERT_EQ(process->Os().registry->CreateKey(platform::kHkeyLocalMachine,
                                                "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS", &key),
              0u);
    process->Os().registry->SetDefaultValue(key, "Config\\SysMemGMBankSize", "1048576");
    process->Os().registry->CloseKey(key);
  };
  const auto f = RunSweep(LibraryStart("library-start-ram-bank", prepare));
  for (const char* point : {"device.request", "file.read"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

}  // namespace
}  // namespace faults_test
