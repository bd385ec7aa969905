// The sweep over the Windows NT setup program's flows and the wavetable settings applet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "applet/j6audio.h"
#include "setupnt/setup_app.h"
#include "sim/drive.h"
#include "sim/file_queue.h"
#include "sim/machine.h"
#include "sim/nt_restart.h"
#include "sim/pending_file_ops.h"
#include "sim/process.h"
#include "sim/registry.h"
#include "sim/ui.h"
#include "tests/faults/sweep.h"
#include "tools/ntdisk/nt_disk.h"

namespace faults_test {
namespace {

const std::string kSystem = "C:\\WINNT\\system32\\";
const std::string kDevice0 = "SYSTEM\\CurrentControlSet\\Services\\j6knldrv\\Parameters\\Device0";

struct RunNt {
  int status = -1;
  std::string stopped;
  std::vector<std::string> transcript;
  std::vector<std::string> skipped;  // targets of the copies the queue skipped
};

bool Shown(const std::vector<std::string>& transcript, const std::string& text) {
  for (const auto& line : transcript)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// Setup from C:\J6DISK with a scripted user: `choice` is the radio button of the choice page; the
// up-to-date question is answered yes and the restart declined.
RunNt RunSetup(sim::Machine& machine, const char* choice, FaultWindow* window) {
  RunNt r;
  auto process = machine.StartProcess("SETUP.EXE", "C:\\J6DISK");
  std::vector<sim::UiStep> steps;
  const std::vector<std::string> lines = {"@131 click Next >", "@102 check " + std::string(choice),
                                          "@102 click OK",     "answer yes if Up-to-date",
                                          "@132 check 1002",   "@132 click Finish",
                                          "@135 click Finish", "@133 click OK"};
  for (const auto& line : lines) steps.push_back(sim::ParseUiStep(line));
  sim::SimUi ui(steps);
  ui.SetFiles(process->Os().files);
  process->Os().ui = &ui;
  if (window) window->Arm();
  try {
    r.status = setupnt::SetupMain(process->Os(), "C:\\J6DISK\\SETUP.EXE");
  } catch (const sim::UiError& e) {
    r.stopped = e.what();
  }
  if (window) window->Disarm();
  process->Os().ui = nullptr;
  r.transcript = ui.Transcript();
  if (auto* queue = dynamic_cast<sim::FileQueueSim*>(process->Os().fileQueue))
    for (const auto& failure : queue->Failures()) r.skipped.push_back(failure.substr(0, failure.rfind(": ")));
  return r;
}

const std::string kNt = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";

void PrepareDisk(sim::Machine& machine) {
  ntdisk::NtDiskOptions options;
  options.bankBytes[0] = 4096, options.bankBytes[1] = 8192, options.bankBytes[2] = 16384;
  ntdisk::WriteNtDisk(machine.DriveRoot() / "J6DISK", options);
  // Another driver's registration in the places setup cleans, and a file operation another program
  // left for the restart: every run must keep them.
  auto& store = machine.Get<sim::RegistryStore>();
  const std::string midi = "mpu401.dll";
  store.CreatePath(kNt + "Drivers32")->SetValue("midi", platform::kRegSz, {midi.begin(), midi.end() + 1});
  store.CreatePath(kNt + "drivers.desc")->SetValue(midi, platform::kRegSz, {'M', 'P', 'U', 0});
  store.CreatePath(
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\MIDI\\mpu401.dll<0000>");
  sim::AddPendingFileOperation(store, {"C:\\OLD.SYS", "", false});
}

// What of another program's registry entries the run lost.
std::vector<std::string> OthersLost(sim::Machine& machine) {
  std::vector<std::string> lost;
  auto& store = machine.Get<sim::RegistryStore>();
  auto drivers = store.FindPath(kNt + "Drivers32");
  if (!drivers || !drivers->FindValue("midi")) lost.push_back("Drivers32 \"midi\" of another driver lost");
  auto desc = store.FindPath(kNt + "drivers.desc");
  if (!desc || !desc->FindValue("mpu401.dll")) lost.push_back("drivers.desc of another driver lost");
  auto pending = sim::PendingFileOperations(store);
  if (pending.empty() || pending.front().source != "C:\\OLD.SYS")
    lost.push_back("another program's pending file operation lost");
  return lost;
}

// Installed and restarted: both kernel drivers run, so their files are in use.
void PrepareInstalled(sim::Machine& machine) {
  PrepareDisk(machine);
  const RunNt r = RunSetup(machine, "1001", nullptr);
  ASSERT_EQ(r.status, 0) << r.stopped;
  machine.Save();
  sim::RestartNtMachine(machine);
  sim::AddPendingFileOperation(machine.Get<sim::RegistryStore>(), {"C:\\OLD.SYS", "", false});
}

// Setup reports no failure of its own: whatever fails, the run goes on to the restart offer.
Flow SetupFlow(std::string name, std::function<void(sim::Machine&)> prepare, const char* choice) {
  Flow flow;
  flow.name = std::move(name);
  flow.family = platform::WindowsFamily::kNt;
  flow.prepare = std::move(prepare);
  // The places setup registers, cleans and imports into; a deletion that fails is deferred to the restart
  // through the Session Manager's pending file operations.
  const std::string nt = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
  const std::string control = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\";
  const std::string services = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
  const std::string user = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";
  flow.ownKeys = {nt + "drivers.desc",
                  nt + "Drivers32",
                  nt + "Userinstallable.drivers",
                  control + "MediaResources\\MIDI\\j6usrdrv.dll<0000>",
                  control + "MediaResources\\MIDI\\j6fmdrv.dll<0000>",
                  control + "MediaResources\\Joystick\\j6usrjs.dll<0000>",
                  control + "Session Manager",
                  services + "j6knldrv",
                  services + "j6knljs",
                  user + "Multimedia\\MIDIMap",
                  user + "Applets\\SysTray"};
  flow.run = [choice](sim::Machine& machine, FaultWindow& window) {
    const RunNt r = RunSetup(machine, choice, &window);
    Outcome o;
    o.ok = r.status == 0 && r.stopped.empty() && Shown(r.transcript, "closed dialog 132 (");
    o.detail = "exit " + std::to_string(r.status) + (r.stopped.empty() ? "" : ", user stopped: " + r.stopped);
    o.skipped = r.skipped;
    o.problems = OthersLost(machine);
    return o;
  };
  return flow;
}

TEST(Sweep, nt_setup_installs_on_a_new_machine) {
  const auto f = RunSweep(SetupFlow("setupnt-new", PrepareDisk, "1001"));
  for (const char* point : {"file.copy", "registry.write", "service.call", "process.start"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

TEST(Sweep, nt_setup_updates_an_installed_driver_with_a_file_in_use) {
  auto prepare = [](sim::Machine& machine) {
    PrepareInstalled(machine);
    ASSERT_TRUE(machine.Get<sim::Drive>().SetInUse(kSystem + "j6usrdrv.dll", true));
  };
  const auto f = RunSweep(SetupFlow("setupnt-update", prepare, "1001"));
  for (const char* point : {"file.copy", "file.create", "registry.write", "service.call", "file.delete"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

TEST(Sweep, nt_setup_removes_the_drivers) {
  const auto f = RunSweep(SetupFlow("setupnt-remove", PrepareInstalled, "1002"));
  for (const char* point : {"file.delete", "registry.write", "service.call"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

// The Control Panel's calls around one showing of the applet's dialog; `steps` are the user's.
Flow Applet(std::string name, std::vector<std::string> steps) {
  Flow flow;
  flow.name = std::move(name);
  flow.family = platform::WindowsFamily::kNt;
  flow.prepare = [](sim::Machine& machine) {
    auto process = machine.StartProcess("REGEDIT.EXE");
    platform::Registry& registry = *process->Os().registry;
    platform::HKey key = 0;
    ASSERT_EQ(registry.CreateKey(platform::kHkeyLocalMachine, kDevice0.c_str(), &key), 0u);
    const std::uint8_t all[4] = {15, 0, 0, 0}, rom[4] = {0, 0, 0, 0};
    registry.SetValue(key, "GmFile", platform::kRegDword, all, 4);
    registry.SetValue(key, "GmBank", platform::kRegDword, rom, 4);
    registry.CloseKey(key);
  };
  flow.run = [steps](sim::Machine& machine, FaultWindow& window) {
    Outcome o;
    auto process = machine.StartProcess("CONTROL.EXE", kSystem);
    std::vector<sim::UiStep> parsed;
    for (const auto& s : steps) parsed.push_back(sim::ParseUiStep(s));
    sim::SimUi ui(parsed);
    platform::Os os = process->Os();
    os.ui = &ui;
    using namespace j6audio;
    constexpr HWND kControlPanel = 0x00010010;
    window.Arm();
    LoadModule(&os);
    LibMain(0x10000000, DLL_PROCESS_ATTACH, nullptr);
    const LONG init = CPlApplet(kControlPanel, CPL_INIT, 0, 0);
    LONG shown = 0;
    try {
      shown = CPlApplet(kControlPanel, CPL_DBLCLK, 0, 0);
    } catch (const sim::UiError& e) {
      o.detail = std::string("user stopped: ") + e.what() + ", ";
    }
    CPlApplet(kControlPanel, CPL_EXIT, 0, 0);
    LibMain(0x10000000, DLL_PROCESS_DETACH, nullptr);
    window.Disarm();
    // The applet shows no message of its own, whatever fails.
    o.ok = init == 1 && shown == 1 && !Shown(ui.Transcript(), "message box") && ui.UnusedSteps().empty();
    o.detail += "CPL_DBLCLK " + std::to_string(shown);
    return o;
  };
  return flow;
}

TEST(Sweep, applet_picks_a_bank_and_ok) {
  const auto f = RunSweep(Applet("applet-ok", {"click 1102", "click 1"}));
  EXPECT_GT(f.hits.count("registry.write"), 0u);
}

TEST(Sweep, applet_cancel) {
  RunSweep(Applet("applet-cancel", {"click 1101", "click 2"}));
}

}  // namespace
}  // namespace faults_test
