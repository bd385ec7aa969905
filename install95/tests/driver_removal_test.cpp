#include "install95/driver_removal.h"

#include <gtest/gtest.h>

#include "install95/pages.h"
#include "install_machine.h"
#include "sim/drive.h"

namespace install95 {
namespace {

constexpr const char* kWave = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\wave";

struct MediaEntry {
  const char* subkey;
  const char* deviceId;  // null: no "DeviceID" value
  bool deleted;
};

class RemoveMediaResourcesTest : public testing::InstallMachine {};

TEST_F(RemoveMediaResourcesTest, deletes_only_the_cards_entries_of_that_driver) {
  const std::string tooLong = "PCI\\VEN_7A4E&DEV_E100" + std::string(300, 'x');
  const MediaEntry entries[] = {
      {"j6wave.drv<0000>", "PCI\\VEN_7A4E&DEV_E100&SUBSYS_00000000&REV_01\\BUS_00&DEV_0B", true},
      // Follows a deleted key, so it is examined at the same index after the shift.
      {"J6WAVE.DRV<0001>", "ISAPNP\\QRL402A_DEV0004\\0", true},
      {"j6wave.drv<0002>", "PCI\\VEN_1234&DEV_5678", false},
      {"j6wave.drv<0003>", "pci\\ven_7a4e&dev_e100", false},  // the search keeps letter case
      {"j6wave.drv<0004>", nullptr, false},
      {"j6wave.drv<0005>", tooLong.c_str(), false},  // longer than the 260-byte value buffer
      {"j6wave.drv<0006>", "PCI\\VEN_7A4E&DEV_E100", true},
      {"j6wav", "PCI\\VEN_7A4E&DEV_E100", false},  // shorter than the driver name
      {"msacm.imaadpcm", "PCI\\VEN_7A4E&DEV_E100", false},
  };
  for (const MediaEntry& e : entries) {
    std::string path = std::string(kWave) + "\\" + e.subkey;
    MakeKey(path + "\\Settings");
    if (e.deviceId != nullptr) SetString(path, "DeviceID", e.deviceId);
  }

  EXPECT_EQ(RemoveMediaResources(App(), kWave, "j6wave.drv"), 1);

  for (const MediaEntry& e : entries) {
    std::string path = std::string(kWave) + "\\" + e.subkey;
    EXPECT_EQ(KeyExists(path), !e.deleted) << e.subkey;
    EXPECT_EQ(KeyExists(path + "\\Settings"), !e.deleted) << e.subkey;
  }
}

TEST_F(RemoveMediaResourcesTest, a_missing_class_key_or_driver_name_changes_nothing) {
  SetString(std::string(kWave) + "\\j6wave.drv<0000>", "DeviceID", "PCI\\VEN_7A4E&DEV_E100");
  EXPECT_EQ(
      RemoveMediaResources(App(), "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\midi", "j6fm.drv"), 1);
  EXPECT_EQ(RemoveMediaResources(App(), kWave, nullptr), 1);
  EXPECT_EQ(RemoveMediaResources(App(), kWave, ""), 1);
  EXPECT_TRUE(KeyExists(std::string(kWave) + "\\j6wave.drv<0000>"));
}

// An entry that cannot be deleted stays at its index; the walk still ends and the others go.
TEST_F(RemoveMediaResourcesTest, ends_when_an_entry_cannot_be_deleted) {
  SetString(std::string(kWave) + "\\j6wave.drv<0000>", "DeviceID", "PCI\\VEN_7A4E&DEV_E100");
  SetString(std::string(kWave) + "\\j6wave.drv<0001>", "DeviceID", "PCI\\VEN_7A4E&DEV_E100");
  Faults().Arm(sim::fault::kRegistryWrite, 0, 1);
  EXPECT_EQ(RemoveMediaResources(App(), kWave, "j6wave.drv"), 1);
  EXPECT_TRUE(KeyExists(std::string(kWave) + "\\j6wave.drv<0000>"));
  EXPECT_FALSE(KeyExists(std::string(kWave) + "\\j6wave.drv<0001>"));
}

}  // namespace
}  // namespace install95

namespace install95 {
namespace {

constexpr const char* kVxdKey = "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVANTIS";

std::string Inf(const std::string& maker, const std::string& files) {
  std::string text = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n";
  if (!maker.empty()) text += "\r\n[Manufacturer]\r\n%String1%=" + maker + "\r\n";
  return text + "\r\n[SourceDisksFiles]\r\n" + files;
}

class RemoveOldDriversTest : public testing::InstallMachine {
 protected:
  void Remove(int removeWindows) {
    ChoicePage page(App(), 102);
    page.installWindows = removeWindows ? 0 : 1;
    page.removeWindows = removeWindows;
    RemoveOldDrivers(App(), page);
  }
};

TEST_F(RemoveOldDriversTest, removes_keys_inf_copies_and_listed_files) {
  MakeKey(std::string(kVxdKey) + "\\Settings");
  SetString(kVxdKey, "StaticVxD", "J6CVXD.VXD");
  MakeKey(kUninstallKey);
  MakeKey("System\\CurrentControlSet\\Services\\VxD\\OTHER");
  PutFile("C:\\WINDOWS\\INF\\J6AUDIO.INF",
          Inf("J6AUDIO", "J6AUDIO.INF=1\r\nj6wave.drv=1\r\nJ6CVXD.VXD=1\r\n"));
  Os().files->SetFileAttributes("C:\\WINDOWS\\INF\\J6AUDIO.INF", platform::kFileAttributeReadOnly);
  PutFile("C:\\WINDOWS\\SYSTEM\\j6wave.drv", "driver");
  PutFile("C:\\WINDOWS\\SYSTEM\\J6CVXD.VXD", "driver");
  Os().files->SetFileAttributes("C:\\WINDOWS\\SYSTEM\\J6CVXD.VXD", platform::kFileAttributeReadOnly);
  PutFile("C:\\WINDOWS\\SYSTEM\\msjstick.drv", "not ours");
  PutFile("C:\\WINDOWS\\INF\\oem3.inf", Inf("j6audio", ""));
  PutFile("C:\\WINDOWS\\INF\\oem4.inf", Inf("", ""));
  PutFile("C:\\WINDOWS\\INF\\oem5.inf", Inf("J6AUDIO2", ""));
  PutFile("C:\\WINDOWS\\INF\\wave.inf", Inf("J6AUDIO", ""));  // not an oem*.inf name
  MakeFolder("C:\\WINDOWS\\INF\\OTHER");
  PutFile("C:\\WINDOWS\\INF\\OTHER\\J6 Orvantis.inf", Inf("J6AUDIO", ""));
  PutFile("C:\\WINDOWS\\INF\\OTHER\\Maker.inf", Inf("MAKER", ""));
  UseUser();

  Remove(1);

  EXPECT_FALSE(KeyExists(kVxdKey));
  EXPECT_FALSE(KeyExists(kUninstallKey));
  EXPECT_TRUE(KeyExists("System\\CurrentControlSet\\Services\\VxD\\OTHER"));
  for (const char* gone :
       {"C:\\WINDOWS\\INF\\J6AUDIO.INF", "C:\\WINDOWS\\SYSTEM\\j6wave.drv", "C:\\WINDOWS\\SYSTEM\\J6CVXD.VXD",
        "C:\\WINDOWS\\INF\\oem3.inf", "C:\\WINDOWS\\INF\\OTHER\\J6 Orvantis.inf"})
    EXPECT_FALSE(FileThere(gone)) << gone;
  for (const char* kept :
       {"C:\\WINDOWS\\SYSTEM\\msjstick.drv", "C:\\WINDOWS\\INF\\oem4.inf", "C:\\WINDOWS\\INF\\oem5.inf",
        "C:\\WINDOWS\\INF\\wave.inf", "C:\\WINDOWS\\INF\\OTHER\\Maker.inf"})
    EXPECT_TRUE(FileThere(kept)) << kept;
  EXPECT_TRUE(Shown("  status \"Removing old drivers ...\""));
  EXPECT_TRUE(Shown("  bar 40"));
  EXPECT_TRUE(Shown("closed progress window 142 at 100"));
}

TEST_F(RemoveOldDriversTest, without_an_installed_inf_the_list_comes_from_the_disk) {
  PutFile("C:\\J6DISK\\J6AUDIO.INF", Inf("J6AUDIO", "j6wave.drv=1\r\n"));
  PutFile("C:\\WINDOWS\\SYSTEM\\j6wave.drv", "driver");
  Remove(0);
  EXPECT_FALSE(FileThere("C:\\WINDOWS\\SYSTEM\\j6wave.drv"));
  EXPECT_TRUE(FileThere("C:\\J6DISK\\J6AUDIO.INF"));
}

struct ListedFileCase {
  const char* name;
  const char* entry;  // in [SourceDisksFiles]
  const char* inUse;  // file Windows holds open
  int removeWindows;
  const char* scheduled;  // the [Rename] entry afterwards, or null
};

const ListedFileCase kListedFileCases[] = {
    {"in_use_during_removal", "j6wave.drv=1", "C:\\WINDOWS\\SYSTEM\\j6wave.drv", 1,
     "NUL=C:\\WINDOWS\\SYSTEM\\j6wave.drv"},
    {"in_use_during_installation", "j6wave.drv=1", "C:\\WINDOWS\\SYSTEM\\j6wave.drv", 0, nullptr},
    // The retry in the INF folder looks for the lower-case letters "inf" in the path.
    {"lower_case_inf_retried_in_the_inf_folder", "j6extra.inf=1", "C:\\WINDOWS\\INF\\j6extra.inf", 1,
     "NUL=C:\\WINDOWS\\INF\\j6extra.inf"},
    {"upper_case_inf_not_retried", "J6EXTRA.INF=1", "C:\\WINDOWS\\INF\\J6EXTRA.INF", 1, nullptr},
};

class DeleteListedFilesTest : public testing::InstallMachine,
                              public ::testing::WithParamInterface<ListedFileCase> {};

TEST_P(DeleteListedFilesTest, defers_a_file_in_use_only_for_removal) {
  const ListedFileCase& c = GetParam();
  PutFile(c.inUse, "in use");
  machine_->Get<sim::Drive>().SetInUse(c.inUse, true);
  std::string list = std::string(c.entry) + '\0' + "after=1" + '\0';
  ChoicePage page(App(), 102);
  page.removeWindows = c.removeWindows;
  DeleteListedFiles(App(), page, static_cast<std::uint32_t>(list.size()), list.c_str());
  EXPECT_TRUE(FileThere(c.inUse));
  if (c.scheduled)
    EXPECT_EQ(RenameEntries(), std::vector<std::string>{c.scheduled});
  else
    EXPECT_TRUE(RenameEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteListedFilesTest, ::testing::ValuesIn(kListedFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace install95
