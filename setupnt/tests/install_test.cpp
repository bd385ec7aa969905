// The installation steps: version check, copy, services and registration.
#include "setupnt/install.h"
#include "nt_machine.h"
#include "setupnt/file_list.h"
#include "setupnt/remove.h"
#include "sim/drive.h"
#include "sim/faults.h"
#include "sim/pe_writer.h"
#include "sim/pending_file_ops.h"
#include "sim/processes.h"
#include "sim/registry.h"
#include "sim/services.h"

namespace setupnt_test {
namespace {

const std::string kServices = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
const std::string kDrivers = "C:\\WINNT\\system32\\drivers\\";
const std::string kSystem = "C:\\WINNT\\system32\\";

using InstallSteps = NtMachine;

TEST_F(InstallSteps, the_installed_kernel_driver_is_compared_with_the_new_one_as_text) {
  struct Case {
    const char* installed;  // nullptr: no file; "": a file without version resource
    const char* fresh;
    bool updateNeeded;
  };
  const Case cases[] = {
      {nullptr, "4.00", true}, {"", "4.00", true},      {"4.00", nullptr, true}, {"4.00", "", true},
      {"4.00", "4.00", false}, {"4.10", "4.9", true},   {"4.9", "4.10", false},  {"4.00a", "4.00A", false},
      {"3.99", "4.00", true},  {"4.01", "4.00", false}, {"4.0", "4.00", true},
  };
  auto put = [&](const std::string& path, const char* version) {
    if (!version) {
      Os().files->DeleteFile(path.c_str());
    } else if (!*version) {
      WriteFile(path, "MZ no resources here");
    } else {
      WriteFile(path, ntdisk::DriverImage("j6knldrv.sys", version));
    }
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.installed ? c.installed : "none") + " against " +
                 (c.fresh ? c.fresh : "none"));
    put(kDrivers + "j6knldrv.sys", c.installed);
    put("C:\\DISK\\j6knldrv.sys", c.fresh);
    Restart("C:\\DISK");
    setupnt::SetupState state(Os());
    EXPECT_EQ(setupnt::IsUpdateNeeded(state), c.updateNeeded);
  }
}

TEST_F(InstallSteps, a_version_kept_only_in_another_string_table_is_no_version) {
  WriteFile(kDrivers + "j6knldrv.sys", sim::MakeVersionedPe("9.99"));  // table 040904E4
  WriteFile("C:\\DISK\\j6knldrv.sys", ntdisk::DriverImage("j6knldrv.sys", "1.00"));
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  EXPECT_TRUE(setupnt::IsUpdateNeeded(state));
}

TEST_F(InstallSteps, a_new_service_is_a_demand_start_kernel_driver_that_becomes_system_start_once_started) {
  WriteFile(kDrivers + "j6knldrv.sys", "driver");
  EXPECT_EQ(setupnt::CreateDriverService(Os(), "j6knldrv", "Base"), 0u);
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Type"), 1u);
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Start"), 3u);
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "ErrorControl"), 1u);
  EXPECT_EQ(GetString(kServices + "j6knldrv", "ImagePath"), "\\SystemRoot\\System32\\Drivers\\j6knldrv.sys");
  EXPECT_EQ(GetString(kServices + "j6knldrv", "Group"), "Base");
  EXPECT_EQ(GetString(kServices + "j6knldrv", "DisplayName"), "<no value>");

  EXPECT_EQ(setupnt::StartDriverService(Os(), "j6knldrv"), 0u);
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Start"), 1u);
  EXPECT_TRUE(Machine().Get<sim::ServiceDatabase>().IsRunning("j6knldrv"));
}

TEST_F(InstallSteps, an_existing_service_keeps_its_image_path_and_group_and_only_its_start_type_changes) {
  SetDword(kServices + "j6knldrv", "Type", 1);
  SetDword(kServices + "j6knldrv", "Start", 4);
  SetString(kServices + "j6knldrv", "ImagePath", "System32\\Drivers\\old.sys");
  SetString(kServices + "j6knldrv", "Group", "Old Group");
  EXPECT_EQ(setupnt::CreateDriverService(Os(), "j6knldrv", "Base"), 0u);
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Start"), 3u);
  EXPECT_EQ(GetString(kServices + "j6knldrv", "ImagePath"), "System32\\Drivers\\old.sys");
  EXPECT_EQ(GetString(kServices + "j6knldrv", "Group"), "Old Group");
}

TEST_F(InstallSteps, a_failed_start_sets_system_start_unless_the_image_is_missing) {
  setupnt::CreateDriverService(Os(), "j6knldrv", "Base");
  EXPECT_EQ(setupnt::StartDriverService(Os(), "j6knldrv"), 0u) << "the start's result is not returned";
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Start"), 3u) << "no image: path not found";

  WriteFile(kDrivers + "j6knldrv.sys", "driver");
  // OpenManager and Open go through; the start itself fails.
  Machine().GetFaults().Arm(sim::fault::kServiceCall, 2, 1);
  setupnt::StartDriverService(Os(), "j6knldrv");
  EXPECT_FALSE(Machine().Get<sim::ServiceDatabase>().IsRunning("j6knldrv"));
  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Start"), 1u);
}

TEST_F(InstallSteps, the_copy_follows_the_list_into_system_and_drivers_directories) {
  PutDisk("C:\\DISK");
  WriteFile("C:\\DISK\\file.lst",
            "[SourceDisksFiles]\r\nj6knldrv.sys=1\r\nj6usrdrv.dll=1\r\nmissing.dll=1\r\nj6gm*.bin=1\r\n");
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  setupnt::LoadFileList(state);
  setupnt::CopyDriverFiles(state);
  EXPECT_TRUE(FileExists(kDrivers + "j6knldrv.sys"));
  EXPECT_TRUE(FileExists(kSystem + "j6usrdrv.dll"));
  EXPECT_FALSE(FileExists(kSystem + "j6fmdrv.dll")) << "not listed";
  EXPECT_FALSE(FileExists(kSystem + "missing.dll"));
  EXPECT_TRUE(FileExists(kSystem + "j6gm1.bin")) << "a wildcard queues the first match only";
  EXPECT_FALSE(FileExists(kSystem + "j6gm2.bin"));
}

TEST_F(InstallSteps, without_a_list_the_built_in_table_and_every_bank_are_copied) {
  PutDisk("C:\\DISK");
  Os().files->DeleteFile("C:\\DISK\\file.lst");
  WriteFile(kSystem + "j6usrdrv.dll", "old");
  Machine().Get<sim::Drive>().SetInUse(kSystem + "j6usrdrv.dll", true);
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  EXPECT_FALSE(setupnt::LoadFileList(state));
  setupnt::CopyDriverFiles(state);
  for (const char* name : {"j6knldrv.sys", "j6knljs.sys"}) EXPECT_TRUE(FileExists(kDrivers + name)) << name;
  for (const char* name :
       {"j6fmdrv.dll", "j6usrjs.dll", "j6audio.cpl", "j6gm1.bin", "j6gm2.bin", "j6gm4.bin"})
    EXPECT_TRUE(FileExists(kSystem + name)) << name;
  // The file in use is replaced at the next restart.
  EXPECT_EQ(ReadFile(kSystem + "j6usrdrv.dll"), "old");
  auto pending = sim::PendingFileOperations(Machine().Get<sim::RegistryStore>());
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].target, "C:\\WINNT\\SYSTEM32\\j6usrdrv.dll");
}

// An installed driver whose deletion fails for another reason than use (here: access denied) is deleted at
// the restart; its new copy must come after that deletion, or the restart leaves no driver at all.
TEST_F(InstallSteps, a_file_whose_deletion_was_put_off_is_replaced_after_the_deletion_at_the_restart) {
  PutDisk("C:\\DISK");
  WriteFile(kDrivers + "j6knldrv.sys", "old");
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  setupnt::LoadFileList(state);
  Machine().GetFaults().Arm(sim::fault::kFileDelete);
  setupnt::RemoveDriverFiles(state);
  Machine().GetFaults().Clear();
  ASSERT_EQ(state.deferredDeletions.size(), 1u) << "the first file of the list";
  setupnt::CopyDriverFiles(state);
  EXPECT_EQ(ReadFile(kDrivers + "j6knldrv.sys"), "old") << "replaced only at the restart";
  auto pending = sim::PendingFileOperations(Machine().Get<sim::RegistryStore>());
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].target, "") << "the deletion first";
  EXPECT_EQ(pending[1].target, "C:\\WINNT\\SYSTEM32\\DRIVERS\\j6knldrv.sys") << "then the new file";
  EXPECT_TRUE(FileExists(kSystem + "j6fmdrv.dll")) << "the others are copied at once";
}

TEST_F(InstallSteps, registration_imports_the_registry_file_and_writes_services_and_parameters) {
  PutDisk("C:\\DISK");
  WriteFile(kDrivers + "j6knldrv.sys", "driver");
  WriteFile(kDrivers + "j6knljs.sys", "driver");
  SetDword("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray", "Services", 0x3);
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  setupnt::RegisterDrivers(state);

  const auto& started = Machine().Get<sim::ProgramTable>().Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].commandLine, "C:\\WINNT\\regedit /s j6audio.reg");
  EXPECT_EQ(GetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", "j6usrdrv.dll"),
            "J6 Orvantis Wavetable Driver");

  EXPECT_EQ(GetDword(kServices + "j6knldrv", "Start"), 1u);
  EXPECT_EQ(GetString(kServices + "j6knljs", "Group"), "Extended Base");
  EXPECT_EQ(GetDword(kServices + "j6knljs", "Start"), 1u);
  EXPECT_TRUE(KeyExists(kServices + "j6knldrv\\Parameters\\Device0"));
  // Setup writes nothing there; the driver it started tells the banks it can load.
  EXPECT_EQ(ValueNames(kServices + "j6knldrv\\Parameters\\Device0"), std::vector<std::string>{"GmFile"});
  EXPECT_EQ(ValueNames(kServices + "j6knljs\\Parameters"),
            (std::vector<std::string>{"DeviceAddress", "Two Joysticks", "Has Throttle", "Has Rudder",
                                      "NumberOfAxes"}));
  EXPECT_EQ(GetDword(kServices + "j6knljs\\Parameters", "NumberOfAxes"), 2u);
  EXPECT_EQ(GetDword(kServices + "j6knljs\\Parameters", "Has Rudder"), 0u);
  EXPECT_EQ(GetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap",
                      "CurrentInstrument"),
            "j6usrdrv.dll<0000>");
  EXPECT_EQ(GetDword("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray", "Services"),
            0x7u);
  EXPECT_EQ(BarPositions(), (std::vector<int>{0, 10, 30, 40, 50, 60, 100}));
}

TEST_F(InstallSteps, without_the_tray_value_nothing_is_created_for_it) {
  setupnt::SetupState state(Os());
  setupnt::RegisterDrivers(state);
  EXPECT_FALSE(KeyExists("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray"));
  MakeKey("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray");
  setupnt::RegisterDrivers(state);
  EXPECT_TRUE(ValueNames("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray").empty());
}

}  // namespace
}  // namespace setupnt_test
