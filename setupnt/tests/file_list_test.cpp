// file.lst: which names are read, how a long section is read again, and where each file goes.
#include <cstdio>

#include "nt_machine.h"
#include "setupnt/file_list.h"

namespace setupnt_test {
namespace {

using FileListTest = NtMachine;

std::vector<std::string> Names(const setupnt::FileList& list) {
  std::vector<std::string> names;
  setupnt::ForEachListedName(list, [&](const std::string& name) { names.push_back(name); });
  return names;
}

// "[SourceDisksFiles]" with `count` entries "file_NNN.dll=1", each 15 characters with its NUL.
std::string ListOf(int count) {
  std::string text = "[SourceDisksFiles]\r\n";
  for (int i = 0; i < count; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "file_%03d.dll=1\r\n", i);
    text += line;
  }
  return text;
}

TEST_F(FileListTest, without_file_lst_the_list_stays_empty) {
  setupnt::SetupState state(Os());
  EXPECT_FALSE(setupnt::LoadFileList(state));
  EXPECT_FALSE(state.fileList.Present());
}

TEST_F(FileListTest, names_are_read_in_order_up_to_the_first_line_without_equals) {
  WriteFile("C:\\DISK\\file.lst",
            "[Other]\r\nx.dll=1\r\n[SourceDisksFiles]\r\nj6knldrv.sys=1\r\nj6usrdrv.dll = 2\r\nstop here\r\n"
            "j6fmdrv.dll=1\r\n");
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  ASSERT_TRUE(setupnt::LoadFileList(state));
  EXPECT_EQ(Names(state.fileList), (std::vector<std::string>{"j6knldrv.sys", "j6usrdrv.dll"}));
}

TEST_F(FileListTest, an_empty_section_is_a_list_that_is_not_present) {
  WriteFile("C:\\DISK\\file.lst", "[SourceDisksFiles]\r\n[Next]\r\na=1\r\n");
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  EXPECT_TRUE(setupnt::LoadFileList(state));
  EXPECT_FALSE(state.fileList.Present());
  EXPECT_TRUE(Names(state.fileList).empty());
}

TEST_F(FileListTest, a_section_that_fills_512_bytes_is_read_again_into_1024_and_cut_beyond) {
  struct Case {
    int entries;
    std::size_t namesRead;
  };
  // 15 characters an entry: 40 entries need 600 characters, 80 need 1200 and are cut after 68 whole ones.
  for (const Case& c : {Case{30, 30}, Case{34, 34}, Case{40, 40}, Case{80, 68}}) {
    SCOPED_TRACE(c.entries);
    WriteFile("C:\\DISK\\file.lst", ListOf(c.entries));
    Restart("C:\\DISK");
    setupnt::SetupState state(Os());
    ASSERT_TRUE(setupnt::LoadFileList(state));
    auto names = Names(state.fileList);
    ASSERT_EQ(names.size(), c.namesRead);
    EXPECT_EQ(names.front(), "file_000.dll");
    char last[16];
    std::snprintf(last, sizeof last, "file_%03zu.dll", c.namesRead - 1);
    EXPECT_EQ(names.back(), last);
  }
}

TEST(TargetDirectory, names_with_sys_go_to_the_drivers_directory) {
  struct Case {
    const char* name;
    bool fromList;
    bool drivers;
  };
  const Case cases[] = {
      {"j6knldrv.sys", true, true},   {"J6KNLDRV.SYS", true, true},    {"j6knldrv.Sys", true, false},
      {"J6KNLDRV.SYS", false, false}, {"\\j6knljs.sys", false, true},  {"sysaudio.dll", true, true},
      {"j6usrdrv.dll", true, false},  {"\\j6audio.cpl", false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(setupnt::GoesToDriversDir(c.name, c.fromList), c.drivers) << c.name << " list=" << c.fromList;
}

}  // namespace
}  // namespace setupnt_test
