#include "install95/driver_removal.h"

#include <gtest/gtest.h>

#include "install_machine.h"

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
