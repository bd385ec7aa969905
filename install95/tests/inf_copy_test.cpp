#include "install95/inf_copy.h"

#include <gtest/gtest.h>

#include <string>

#include "install95/install_text.h"
#include "install95/pages.h"
#include "install_machine.h"
#include "sim/drive.h"

namespace install95 {
namespace {

constexpr const char* kDiskInf = "C:\\J6DISK\\J6AUDIO.INF";
constexpr const char* kWininit = "C:\\WINDOWS\\wininit.ini";

class CopyInfFilesTest : public testing::InstallMachine {
 protected:
  void PutInf(const std::string& sourceDisksFiles) {
    PutFile(kDiskInf, "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[SourceDisksFiles]\r\n" +
                          sourceDisksFiles + "\r\n[Strings]\r\nString1=\"J6AUDIO\"\r\n");
  }
  int Copy(std::int32_t requiredBytes = 100000) {
    ChoicePage page(App(), 148);
    page.requiredBytes = requiredBytes;
    return CopyInfFiles(App(), page);
  }
};

TEST_F(CopyInfFilesTest, copies_inf_files_to_the_inf_folder_and_the_rest_to_system) {
  PutInf(
      "J6AUDIO.INF=1\r\nj6extra.inf=1\r\nj6wave.drv=1,,4096\r\nmissing.drv=1\r\nreadme\r\nafter.drv=1\r\n");
  PutFile("C:\\J6DISK\\j6extra.inf", "extra");
  PutFile("C:\\J6DISK\\j6wave.drv", "wave driver");
  PutFile("C:\\J6DISK\\after.drv", "after the end of the list");
  EXPECT_EQ(Copy(), 1);
  EXPECT_EQ(GetFile("C:\\WINDOWS\\INF\\J6AUDIO.INF"), GetFile(kDiskInf));
  EXPECT_EQ(GetFile("C:\\WINDOWS\\INF\\j6extra.inf"), "extra");  // lower case ".inf" counts too
  EXPECT_EQ(GetFile("C:\\WINDOWS\\SYSTEM\\j6wave.drv"), "wave driver");
  EXPECT_FALSE(FileThere("C:\\WINDOWS\\SYSTEM\\missing.drv"));
  EXPECT_FALSE(FileThere("C:\\WINDOWS\\SYSTEM\\after.drv"));  // "readme" has no "=" and ends the list
  EXPECT_FALSE(FileThere(kWininit));
}

TEST_F(CopyInfFilesTest, without_the_inf_file_nothing_happens) {
  PutFile("C:\\J6DISK\\j6wave.drv", "wave driver");
  UseUser();
  EXPECT_EQ(Copy(), 0);
  EXPECT_FALSE(FileThere("C:\\WINDOWS\\SYSTEM\\j6wave.drv"));
  EXPECT_FALSE(Shown("progress window"));
}

TEST_F(CopyInfFilesTest, the_bar_moves_in_proportion_to_the_required_bytes) {
  PutInf("j6wave.drv=1\r\n");
  PutFile("C:\\J6DISK\\j6wave.drv", std::string(50000, 'w'));
  UseUser();
  Copy(200000);
  EXPECT_TRUE(Shown("  status \"Copying Files ...\""));
  EXPECT_TRUE(Shown("  bar 25"));
  EXPECT_TRUE(Shown("closed progress window 142 at 100"));
}

// The section is read into 512 bytes: the entry cut by the reader before its "=" ends the list.
TEST_F(CopyInfFilesTest, only_the_entries_that_fit_the_section_buffer_are_copied) {
  std::string entries;
  for (int i = 0; i < 40; ++i) {
    std::string name = "file" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".drv";
    entries += name + "=1\r\n";
    PutFile("C:\\J6DISK\\" + name, name);
  }
  PutInf(entries);
  Copy();
  EXPECT_TRUE(FileThere("C:\\WINDOWS\\SYSTEM\\file38.drv"));  // ends at byte 507 of the section
  EXPECT_FALSE(FileThere("C:\\WINDOWS\\SYSTEM\\file39.drv"));
}

// A driver Windows holds open is copied aside and put in place at the next start; existing entries stay
// first.
TEST_F(CopyInfFilesTest, a_file_in_use_is_replaced_at_the_next_start) {
  PutInf("j6wave.drv=1\r\n");
  PutFile("C:\\J6DISK\\j6wave.drv", "new driver");
  PutFile("C:\\WINDOWS\\SYSTEM\\j6wave.drv", "old driver");
  PutFile(kWininit, "[Rename]\r\nNUL=C:\\OLD.DRV\r\n");
  machine_->Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true);
  Copy();
  EXPECT_EQ(GetFile("C:\\WINDOWS\\SYSTEM\\j6wave.drv"), "old driver");
  auto entries = RenameEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "NUL=C:\\OLD.DRV");
  const std::string prefix = "C:\\WINDOWS\\system\\j6wave.drv=";
  ASSERT_EQ(entries[1].substr(0, prefix.size()), prefix);
  std::string temp = entries[1].substr(prefix.size());
  EXPECT_EQ(Upper(temp.substr(0, 14)), "C:\\WINDOWS\\J6A");
  EXPECT_EQ(GetFile(temp), "new driver");
}

// A temporary copy that failed would put an empty file in the driver's place at the next start.
TEST_F(CopyInfFilesTest, no_entry_names_a_temporary_copy_that_failed) {
  PutInf("j6wave.drv=1\r\n");
  PutFile("C:\\J6DISK\\j6wave.drv", "new driver");
  Faults().Arm(sim::fault::kFileCopy, 0, 2);  // onto the target, then onto the temporary file
  Copy();
  EXPECT_TRUE(RenameEntries().empty());
  EXPECT_TRUE(Find("C:\\WINDOWS\\J6A*.TMP").empty());
}

class ScheduleRenameTest : public testing::InstallMachine {};

TEST_F(ScheduleRenameTest, adds_a_delete_entry_after_the_existing_ones) {
  PutFile(kWininit, "[rename]\r\nC:\\WINDOWS\\SYSTEM\\A.DRV=C:\\WINDOWS\\J6A1.TMP\r\nNUL=C:\\OLD.DRV\r\n");
  EXPECT_EQ(ScheduleRename(App(), "C:\\WINDOWS\\SYSTEM\\j6wave.drv", "NUL", RenameCopy::kUseSource), 1);
  EXPECT_EQ(RenameEntries(),
            (std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\A.DRV=C:\\WINDOWS\\J6A1.TMP", "NUL=C:\\OLD.DRV",
                                      "NUL=C:\\WINDOWS\\SYSTEM\\j6wave.drv"}));
}

// The list is 4096 bytes. A section it cannot hold whole would lose its tail if written back, and an
// entry that does not fit would run past it: both leave wininit.ini as it was.
TEST_F(ScheduleRenameTest, a_full_rename_list_is_left_as_it_was) {
  for (std::size_t existing : {4100u, 4070u}) {
    std::string section = "[Rename]\r\n";
    std::size_t used = 0;
    for (int i = 0; used < existing; ++i) {
      std::string entry = "NUL=C:\\WINDOWS\\SYSTEM\\OLD" + std::to_string(1000 + i) + ".DRV";
      section += entry + "\r\n";
      used += entry.size() + 1;
    }
    PutFile(kWininit, section);
    PutFile("C:\\J6DISK\\j6wave.drv", "new driver");
    ScheduleRename(App(), "C:\\J6DISK\\j6wave.drv", "C:\\WINDOWS\\SYSTEM\\j6wave.drv",
                   RenameCopy::kCopyFirst);
    EXPECT_EQ(GetFile(kWininit), section) << existing;
    EXPECT_TRUE(Find("C:\\WINDOWS\\J6A*.TMP").empty()) << existing;
  }
}

// A line holding NUL bytes reads as several strings, an empty one among them, and the entries end at
// the first empty string: the new entry must follow the entries before it, or it is never read back
// and the driver is never replaced.
TEST_F(ScheduleRenameTest, a_line_holding_nul_bytes_does_not_hide_the_new_entry) {
  using namespace std::string_literals;
  PutFile(kWininit, "[Rename]\r\nNUL=C:\\OLD.DRV\0\0C:\\A.DRV=C:\\A.TMP\r\n"s);
  PutFile("C:\\J6DISK\\j6wave.drv", "new driver");
  ScheduleRename(App(), "C:\\J6DISK\\j6wave.drv", "C:\\WINDOWS\\SYSTEM\\j6wave.drv", RenameCopy::kCopyFirst);
  auto entries = RenameEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "NUL=C:\\OLD.DRV");
  const std::string prefix = "C:\\WINDOWS\\SYSTEM\\j6wave.drv=";
  ASSERT_EQ(entries[1].substr(0, prefix.size()), prefix);
  EXPECT_EQ(GetFile(entries[1].substr(prefix.size())), "new driver");
}

}  // namespace
}  // namespace install95
