// The file side of the removal: which files go for an update and for a removal, with and without a
// list, and what happens to files that cannot go now.
#include "nt_machine.h"
#include "setupnt/file_list.h"
#include "setupnt/remove.h"
#include "sim/drive.h"
#include "sim/nt_restart.h"
#include "sim/pending_file_ops.h"
#include "sim/registry.h"

namespace setupnt_test {
namespace {

const std::string kSystem = "C:\\WINNT\\system32\\";
const std::string kDrivers = "C:\\WINNT\\system32\\drivers\\";

class FileRemoval : public NtMachine {
 protected:
  // An earlier installation, a bank the disk does not list (j6gm8.bin) and a file of another driver.
  void PutInstalledFiles() {
    for (const char* name : {"j6usrdrv.dll", "j6fmdrv.dll", "j6usrjs.dll", "j6audio.cpl", "j6gm1.bin",
                             "j6gm2.bin", "j6gm8.bin", "other.dll"})
      WriteFile(kSystem + name, "x");
    for (const char* name : {"j6knldrv.sys", "j6knljs.sys"}) WriteFile(kDrivers + name, "x");
  }
  std::vector<std::string> Left() {
    std::vector<std::string> left;
    for (const char* name : {"j6usrdrv.dll", "j6fmdrv.dll", "j6usrjs.dll", "j6audio.cpl", "j6gm1.bin",
                             "j6gm2.bin", "j6gm8.bin", "other.dll"})
      if (FileExists(kSystem + name)) left.push_back(name);
    for (const char* name : {"j6knldrv.sys", "j6knljs.sys"})
      if (FileExists(kDrivers + name)) left.push_back(std::string("drivers\\") + name);
    return left;
  }
};

TEST_F(FileRemoval, banks_go_only_for_a_removal_and_the_list_decides_which) {
  struct Case {
    bool withList;
    int choice;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {true, setupnt::kChoiceInstall, {"j6gm1.bin", "j6gm2.bin", "j6gm8.bin", "other.dll"}},
      {true, setupnt::kChoiceRemove, {"j6gm8.bin", "other.dll"}},
      {false, setupnt::kChoiceInstall, {"j6gm1.bin", "j6gm2.bin", "j6gm8.bin", "other.dll"}},
      {false, setupnt::kChoiceRemove, {"other.dll"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.withList ? "list, " : "no list, ") + (c.choice ? "remove" : "update"));
    PutDisk("C:\\DISK");
    if (!c.withList) Os().files->DeleteFile("C:\\DISK\\file.lst");
    PutInstalledFiles();
    Os().files->SetFileAttributes((kSystem + "j6usrdrv.dll").c_str(),
                                  platform::kFileAttributeReadOnly | platform::kFileAttributeArchive);
    Restart("C:\\DISK");
    setupnt::SetupState state(Os());
    state.installChoice = c.choice;
    setupnt::LoadFileList(state);
    setupnt::RemoveDriverFiles(state);
    EXPECT_EQ(Left(), c.left);
    EXPECT_TRUE(sim::PendingFileOperations(Machine().Get<sim::RegistryStore>()).empty());
    for (const auto& name : Left()) Os().files->DeleteFile((kSystem + name).c_str());
  }
}

TEST_F(FileRemoval, a_file_in_use_is_deleted_at_the_next_restart) {
  PutDisk("C:\\DISK");
  PutInstalledFiles();
  Machine().Get<sim::Drive>().SetInUse(kSystem + "j6usrdrv.dll", true);
  Machine().Get<sim::Drive>().SetInUse(kSystem + "j6gm2.bin", true);
  Os().files->DeleteFile("C:\\DISK\\file.lst");
  Restart("C:\\DISK");
  setupnt::SetupState state(Os());
  state.installChoice = setupnt::kChoiceRemove;
  setupnt::RemoveDriverFiles(state);
  EXPECT_EQ(Left(), (std::vector<std::string>{"j6usrdrv.dll", "j6gm2.bin", "other.dll"}));
  EXPECT_EQ(sim::PendingFileOperations(Machine().Get<sim::RegistryStore>()).size(), 2u);

  process_.reset();
  sim::RestartNtMachine(Machine());
  Restart();
  EXPECT_EQ(Left(), std::vector<std::string>{"other.dll"});
}

TEST_F(FileRemoval, delete_or_defer_defers_only_what_exists) {
  setupnt::DeleteOrDefer(Os(), "C:\\WINNT\\system32\\nothere.dll");
  setupnt::DeleteOrDefer(Os(), "C:\\NOFOLDER\\nothere.dll");
  auto pending = sim::PendingFileOperations(Machine().Get<sim::RegistryStore>());
  // A missing folder is not "file not found": the system is asked to delete it at the restart, harmlessly.
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].source, "C:\\NOFOLDER\\nothere.dll");
}

}  // namespace
}  // namespace setupnt_test
