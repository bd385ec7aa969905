// A whole life on one simulated NT machine: install, restart, update, restart, remove, restart. After
// the removal exactly what the removal leaves in place is still there.
#include <algorithm>

#include "nt_machine.h"
#include "setupnt/setup_app.h"
#include "sim/drive.h"
#include "sim/nt_restart.h"
#include "sim/pending_file_ops.h"
#include "sim/registry.h"
#include "sim/services.h"

namespace setupnt_test {
namespace {

const std::string kSystem = "C:\\WINNT\\system32\\";
const std::string kNt = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
const std::string kMedia = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\";
const std::string kServices = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
const std::string kSysTray = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray";
const std::string kMidiMap = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap";
const std::string kRunOnce = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class InstallRemoveCycle : public NtMachine {
 protected:
  void RunSetup(const std::string& commandLine, const std::string& script) {
    Restart("C:\\DISK");
    std::vector<sim::UiStep> steps;
    std::size_t start = 0;
    for (auto end = script.find('|'); start < script.size(); end = script.find('|', start)) {
      steps.push_back(sim::ParseUiStep(script.substr(start, end == std::string::npos ? end : end - start)));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    SetUi(steps);
    setupnt::SetupApp(Os(), commandLine).Run();
    ASSERT_TRUE(Ui().UnusedSteps().empty());
  }
  void RestartMachine() {
    process_.reset();
    sim::RestartNtMachine(Machine());
    Restart();
  }
  bool Running(const char* service) { return Machine().Get<sim::ServiceDatabase>().IsRunning(service); }
  std::vector<std::string> OurFiles() {
    std::vector<std::string> found;
    for (const auto& name : ntdisk::NtDiskFiles()) {
      bool driver = name.find("sys") != std::string::npos;
      if (FileExists(kSystem + (driver ? "drivers\\" : "") + name)) found.push_back(name);
    }
    return found;
  }
};

TEST_F(InstallRemoveCycle, install_update_and_remove_leave_exactly_the_kept_settings) {
  PutDisk("C:\\DISK");
  // What another driver and the user have in the same places.
  SetString(kNt + "Drivers32", "midi", "mpu401.dll");
  SetString(kNt + "drivers.desc", "mpu401.dll", "MPU-401");
  MakeKey(kMedia + "MIDI\\mpu401.dll<0000>");
  SetDword(kSysTray, "Services", 0x1);
  MakeKey(kRunOnce);

  RunSetup("SETUP.EXE", "@131 click Next >|@102 click OK|@132 click Finish");
  EXPECT_EQ(OurFiles(), ntdisk::NtDiskFiles());
  RestartMachine();
  EXPECT_TRUE(Running("j6knldrv"));
  EXPECT_TRUE(Running("j6knljs"));
  EXPECT_EQ(GetString(kNt + "Drivers32", "wave1"), "j6usrdrv.dll");
  EXPECT_TRUE(KeyExists(kMedia + "Joystick\\j6usrjs.dll<0000>\\CurrentJoystickSettings"));
  // The applet's setting, written later into the kernel driver's parameters.
  SetDword(kServices + "j6knldrv\\Parameters\\Device0", "GmBank", 2);

  // An update while the drivers run, with a user-mode driver in use by a program.
  WriteFile("C:\\DISK\\j6usrdrv.dll", ntdisk::DriverImage("j6usrdrv.dll", "4.01"));
  Machine().Get<sim::Drive>().SetInUse(kSystem + "j6usrdrv.dll", true);
  RunSetup("SETUP.EXE /I", "@102 click OK|answer yes if up-to-date");
  EXPECT_EQ(GetString(kRunOnce, "OVSetupProfile"), " ");
  RestartMachine();
  EXPECT_TRUE(Running("j6knldrv"));
  EXPECT_EQ(GetDword(kServices + "j6knldrv\\Parameters\\Device0", "GmBank"), 2u) << "an update keeps it";
  EXPECT_EQ(OurFiles(), ntdisk::NtDiskFiles());
  EXPECT_EQ(ReadFile(kSystem + "j6usrdrv.dll"), ReadFile("C:\\DISK\\j6usrdrv.dll"))
      << "replaced at the restart";

  RunSetup("SETUP.EXE",
           "@131 click Next >|@102 check Remove Windows NT drivers|@102 click OK|@132 click Finish");
  RestartMachine();

  EXPECT_TRUE(OurFiles().empty());
  EXPECT_TRUE(sim::PendingFileOperations(Machine().Get<sim::RegistryStore>()).empty());
  EXPECT_FALSE(Running("j6knldrv"));
  EXPECT_FALSE(Running("j6knljs"));
  // The registration is gone; the other driver's entries stay.
  EXPECT_EQ(ValueNames(kNt + "Drivers32"), std::vector<std::string>{"midi"});
  EXPECT_EQ(ValueNames(kNt + "drivers.desc"), std::vector<std::string>{"mpu401.dll"});
  EXPECT_TRUE(ValueNames(kNt + "Userinstallable.drivers").empty());
  EXPECT_EQ(SubkeyNames(kMedia + "MIDI"), std::vector<std::string>{"mpu401.dll<0000>"});
  EXPECT_TRUE(SubkeyNames(kMedia + "Joystick").empty());
  // Kept: both services, disabled, with their parameters; the instrument, the tray bit, the RunOnce value.
  for (const char* service : {"j6knldrv", "j6knljs"}) {
    EXPECT_EQ(GetDword(kServices + service, "Start"), 4u) << service;
    EXPECT_EQ(GetDword(kServices + service, "Type"), 1u) << service;
  }
  EXPECT_EQ(GetDword(kServices + "j6knldrv\\Parameters\\Device0", "GmBank"), 2u);
  EXPECT_EQ(GetDword(kServices + "j6knljs\\Parameters", "NumberOfAxes"), 2u);
  EXPECT_EQ(GetString(kMidiMap, "CurrentInstrument"), "j6usrdrv.dll<0000>");
  EXPECT_EQ(GetDword(kSysTray, "Services"), 0x5u);
  EXPECT_EQ(GetString(kRunOnce, "OVSetupProfile"), " ");
}

TEST_F(InstallRemoveCycle, a_driver_in_use_during_the_removal_goes_at_the_restart) {
  PutDisk("C:\\DISK");
  RunSetup("SETUP.EXE /I", "@102 click OK");
  RestartMachine();
  // A program holds the wavetable driver.
  Machine().Get<sim::Drive>().SetInUse(kSystem + "j6usrdrv.dll", true);
  RunSetup("SETUP.EXE /I", "@102 check 1002|@102 click OK");
  EXPECT_EQ(OurFiles(), std::vector<std::string>{"j6usrdrv.dll"});
  RestartMachine();
  EXPECT_TRUE(OurFiles().empty());
}

}  // namespace
}  // namespace setupnt_test
