// The registry side of the removal: multimedia registration values, MediaResources subkeys, and the
// progress the step shows.
#include "nt_machine.h"
#include "setupnt/remove.h"

namespace setupnt_test {
namespace {

const std::string kNt = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
const std::string kDrivers32 = kNt + "Drivers32";
const std::string kMidi = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\MIDI";
const std::string kJoystick = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\Joystick";

using RegistryCleaning = NtMachine;

struct ValueCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> values;  // name, data, in creation order
  std::vector<std::string> left;
};

TEST_F(RegistryCleaning, values_naming_our_drivers_are_deleted_by_their_data) {
  const std::vector<ValueCase> cases = {
      {"neighbours with the same data both go",
       {{"wave", "other.drv"}, {"midi1", "j6usrdrv.dll"}, {"midi2", "j6usrdrv.dll"}, {"midi3", "mpu401.dll"}},
       {"wave", "midi3"}},
      {"capitals count",
       {{"midi1", "J6USRDRV.DLL"}, {"aux", "J6FmDrv.Dll"}, {"mixer", "mixer.dll"}},
       {"mixer"}},
      {"data that only begins with a driver name goes",
       {{"midi1", "j6usrdrv.dll<0000>"}, {"joy", "j6usrjs.dllX"}},
       {}},
      {"a driver name inside other data stays, and a shortened one too",
       {{"a", "xj6usrdrv.dll"}, {"b", "j6usrdrv.dl"}, {"c", "j6usrdr"}, {"d", ""}},
       {"a", "b", "c", "d"}},
      {"the last value of the key goes as well", {{"keep", "wdmaud.drv"}, {"last", "j6fmdrv.dll"}}, {"keep"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Os().registry->DeleteKey(platform::kHkeyLocalMachine,
                             "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32");
    MakeKey(kDrivers32);
    for (const auto& [name, data] : c.values) SetString(kDrivers32, name, data);
    setupnt::DeleteValuesByData(Os(), "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32");
    EXPECT_EQ(ValueNames(kDrivers32), c.left);
  }
}

TEST_F(RegistryCleaning, a_value_that_cannot_be_deleted_does_not_stop_the_walk) {
  SetString(kDrivers32, "midi1", "j6usrdrv.dll");
  SetString(kDrivers32, "midi2", "j6fmdrv.dll");
  Machine().GetFaults().Arm(sim::fault::kRegistryWrite, 0, 1);
  setupnt::DeleteValuesByData(Os(), "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32");
  EXPECT_EQ(ValueNames(kDrivers32), std::vector<std::string>{"midi1"});
}

TEST_F(RegistryCleaning, subkeys_go_with_their_whole_branch_when_the_name_begins_with_the_prefix) {
  MakeKey(kMidi + "\\j6usrdrv.dll<0000>\\Instruments\\0");
  SetString(kMidi + "\\j6usrdrv.dll<0000>\\Instruments\\0", "Name", "Piano");
  MakeKey(kMidi + "\\J6USRDRV.DLL<0001>");
  MakeKey(kMidi + "\\j6fmdrv.dll<0000>");
  MakeKey(kMidi + "\\mpu401.dll<0000>");
  MakeKey(kMidi + "\\xj6usrdrv.dll<0000>");

  setupnt::DeleteSubkeysByPrefix(Os(), platform::kHkeyLocalMachine,
                                 "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\MIDI", "j6usrdrv.dll");
  EXPECT_EQ(SubkeyNames(kMidi),
            (std::vector<std::string>{"j6fmdrv.dll<0000>", "mpu401.dll<0000>", "xj6usrdrv.dll<0000>"}));

  setupnt::DeleteSubkeysByPrefix(Os(), platform::kHkeyLocalMachine,
                                 "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\MIDI", "");
  EXPECT_EQ(SubkeyNames(kMidi).size(), 3u) << "an empty prefix deletes nothing";
  setupnt::DeleteSubkeysByPrefix(Os(), platform::kHkeyLocalMachine, "SYSTEM\\NoSuchKey", "j6");
}

TEST_F(RegistryCleaning, remove_driver_entries_cleans_every_place_and_leaves_the_rest) {
  SetString(kNt + "drivers.desc", "j6usrdrv.dll", "J6 Orvantis Wavetable Driver");
  SetString(kNt + "drivers.desc", "j6fmdrv.dll", "J6 Orvantis FM Synthesis Driver");
  SetString(kNt + "drivers.desc", "j6usrjs.dll", "J6 Orvantis Joystick Driver");
  SetString(kNt + "drivers.desc", "mpu401.dll", "MPU-401");
  SetString(kDrivers32, "midi1", "j6usrdrv.dll");
  SetString(kDrivers32, "midi", "mpu401.dll");
  SetString(kNt + "Userinstallable.drivers", "j6fmdrv", "j6fmdrv.dll");
  SetString(kNt + "Userinstallable.drivers", "mpu401", "mpu401.dll");
  MakeKey(kMidi + "\\j6usrdrv.dll<0000>");
  MakeKey(kMidi + "\\j6fmdrv.dll<0000>");
  MakeKey(kMidi + "\\mpu401.dll<0000>");
  MakeKey(kJoystick + "\\j6usrjs.dll<0000>\\CurrentJoystickSettings");
  MakeKey(kJoystick + "\\joystick.dll<0000>");

  setupnt::SetupState state(Os());
  setupnt::RemoveDriverEntries(state);

  EXPECT_EQ(ValueNames(kNt + "drivers.desc"), std::vector<std::string>{"mpu401.dll"});
  EXPECT_EQ(ValueNames(kDrivers32), std::vector<std::string>{"midi"});
  EXPECT_EQ(ValueNames(kNt + "Userinstallable.drivers"), std::vector<std::string>{"mpu401"});
  EXPECT_EQ(SubkeyNames(kMidi), std::vector<std::string>{"mpu401.dll<0000>"});
  EXPECT_EQ(SubkeyNames(kJoystick), std::vector<std::string>{"joystick.dll<0000>"});
  // 3 x 5 for drivers.desc, a step of 10, 50, then four steps of 10 and the end.
  EXPECT_EQ(BarPositions(), (std::vector<int>{0, 5, 10, 15, 25, 50, 60, 70, 80, 90, 100}));
}

TEST_F(RegistryCleaning, without_drivers_desc_the_bar_stands_lower_until_it_jumps_to_50) {
  SetString(kDrivers32, "midi1", "j6usrdrv.dll");
  setupnt::SetupState state(Os());
  setupnt::RemoveDriverEntries(state);
  EXPECT_TRUE(ValueNames(kDrivers32).empty());
  EXPECT_EQ(BarPositions(), (std::vector<int>{0, 10, 50, 60, 70, 80, 90, 100}));
}

// Every section of the disk's registry file lies in a place the removal cleans, and after an import
// followed by the removal none of it is left.
TEST_F(RegistryCleaning, what_the_registry_file_registers_the_removal_takes_away) {
  const std::string text = ntdisk::RegistryFileText();
  const std::vector<std::string> cleaned = {
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc]",
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32]",
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Userinstallable.drivers]",
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\MIDI\\j6",
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\Joystick\\j6usrjs.dll",
  };
  int sections = 0;
  for (std::size_t at = text.find("\n["); at != std::string::npos; at = text.find("\n[", at + 1)) {
    ++sections;
    std::string section = text.substr(at + 2, text.find('\n', at + 1) - at - 2);
    bool inCleanedPlace = false;
    for (const auto& place : cleaned) inCleanedPlace |= section.rfind(place, 0) == 0;
    EXPECT_TRUE(inCleanedPlace) << section;
  }
  EXPECT_GT(sections, 5);

  WriteFile("C:\\DISK\\j6audio.reg", text);
  Restart("C:\\DISK");
  Os().processes->Start("C:\\WINNT\\regedit /s j6audio.reg", 0);
  EXPECT_FALSE(ValueNames(kDrivers32).empty());
  setupnt::SetupState state(Os());
  setupnt::RemoveDriverEntries(state);
  EXPECT_TRUE(ValueNames(kNt + "drivers.desc").empty());
  EXPECT_TRUE(ValueNames(kDrivers32).empty());
  EXPECT_TRUE(ValueNames(kNt + "Userinstallable.drivers").empty());
  EXPECT_TRUE(SubkeyNames(kMidi).empty());
  EXPECT_TRUE(SubkeyNames(kJoystick).empty());
}

}  // namespace
}  // namespace setupnt_test
