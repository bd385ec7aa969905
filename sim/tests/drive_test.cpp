#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

class DriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-drive");
    fs::remove_all(dir_);
    Make(WindowsFamily::k95);
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }
  void Make(WindowsFamily family, std::uint64_t freeBytes = 1000000) {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
    auto config = sim::MachineConfig::Defaults(family);
    config.freeBytes = freeBytes;
    machine_ = sim::Machine::Create(dir_, config);
    process_ = machine_->StartProcess("test", "C:\\");
  }
  void Reload() {
    machine_->Save();
    process_.reset();
    machine_.reset();
    machine_ = sim::Machine::Load(dir_);
    process_ = machine_->StartProcess("test", "C:\\");
  }
  FileSystem& Files() { return *process_->Os().files; }
  void Put(const std::string& path, const std::string& text) {
    FileHandle h = Files().OpenFile(path.c_str(), OpenMode::kCreateAlways);
    ASSERT_NE(h, kInvalidFileHandle) << path << " error " << Files().LastError();
    std::uint32_t written = 0;
    ASSERT_TRUE(Files().WriteFile(h, text.data(), std::uint32_t(text.size()), &written));
    Files().CloseFile(h);
  }
  std::string Get(const std::string& path) {
    FileHandle h = Files().OpenFile(path.c_str(), OpenMode::kRead);
    if (h == kInvalidFileHandle) return "<error " + std::to_string(Files().LastError()) + ">";
    std::string out(Files().GetFileSize(h), '\0');
    std::uint32_t read = 0;
    Files().ReadFile(h, out.data(), std::uint32_t(out.size()), &read);
    Files().CloseFile(h);
    return out;
  }

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
};

TEST_F(DriveTest, paths_are_found_without_regard_to_case_and_never_leave_the_drive) {
  std::ofstream(dir_ / "outside.txt") << "secret";
  Put("C:\\WINDOWS\\System\\Mixed.Dll", "x");
  EXPECT_TRUE(fs::exists(dir_ / "C" / "WINDOWS" / "SYSTEM" / "Mixed.Dll"));
  fs::create_symlink(dir_, dir_ / "C" / "link");
  ASSERT_TRUE(Files().SetCurrentDirectory("c:\\windows"));
  const std::string hostPath = (dir_ / "outside.txt").string();
  struct Row {
    const char* path;
    std::uint32_t attributes;  // what GetFileAttributes gives
    std::uint32_t error;       // its last error when it fails
  };
  const Row rows[] = {
      {"c:\\windows\\system\\MIXED.DLL", kFileAttributeArchive, 0},
      {"C:/WINDOWS/SYSTEM/mixed.dll", kFileAttributeArchive, 0},
      {"system\\mixed.dll", kFileAttributeArchive, 0},
      {"\\WINDOWS\\SYSTEM\\mixed.dll.", kFileAttributeArchive, 0},
      {"..\\windows\\.\\system\\mixed.dll", kFileAttributeArchive, 0},
      {"C:system\\mixed.dll", kFileAttributeArchive, 0},
      {"C:\\", kFileAttributeDirectory, 0},
      {"C:\\..\\outside.txt", kInvalidFileAttributes, kErrorPathNotFound},
      {"..\\..\\outside.txt", kInvalidFileAttributes, kErrorPathNotFound},
      {"D:\\WINDOWS", kInvalidFileAttributes, kErrorPathNotFound},
      {"\\\\server\\share\\x", kInvalidFileAttributes, kErrorPathNotFound},
      {hostPath.c_str(), kInvalidFileAttributes, kErrorPathNotFound},
      {"C:\\link\\outside.txt", kInvalidFileAttributes, kErrorPathNotFound},
      {"C:\\WINDOWS\\nothing.txt", kInvalidFileAttributes, kErrorFileNotFound},
      {"C:\\WINDOWS\\a|b", kInvalidFileAttributes, kErrorInvalidName},
      {"", kInvalidFileAttributes, kErrorPathNotFound},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    Files().SetLastError(0xdeadbeef);
    EXPECT_EQ(Files().GetFileAttributes(row.path), row.attributes);
    if (row.attributes == kInvalidFileAttributes) {
      EXPECT_EQ(Files().LastError(), row.error);
    }
  }
  EXPECT_EQ(Get("C:\\..\\outside.txt"), "<error 3>");
}

TEST_F(DriveTest, attributes_and_in_use_marks_persist_and_follow_moves) {
  Put("C:\\a.txt", "a");
  Put("C:\\b.txt", "b");
  ASSERT_TRUE(Files().SetFileAttributes("C:\\A.TXT", kFileAttributeReadOnly | kFileAttributeHidden));
  ASSERT_TRUE(machine_->Get<sim::Drive>().SetInUse("c:\\b.txt", true));
  Reload();
  EXPECT_EQ(Files().GetFileAttributes("C:\\a.txt"), kFileAttributeReadOnly | kFileAttributeHidden);
  EXPECT_FALSE(Files().DeleteFile("C:\\b.txt"));
  ASSERT_TRUE(Files().MoveFile("C:\\a.txt", "C:\\moved.txt"));
  EXPECT_EQ(Files().GetFileAttributes("C:\\moved.txt"), kFileAttributeReadOnly | kFileAttributeHidden);
  ASSERT_TRUE(Files().SetFileAttributes("C:\\moved.txt", kFileAttributeNormal));
  EXPECT_EQ(Files().GetFileAttributes("C:\\moved.txt"), kFileAttributeNormal);
  EXPECT_TRUE(Files().DeleteFile("C:\\moved.txt"));
  // A new file of the same name starts afresh.
  Put("C:\\moved.txt", "new");
  EXPECT_EQ(Files().GetFileAttributes("C:\\moved.txt"), kFileAttributeArchive);
}

TEST_F(DriveTest, broken_attributes_json_names_file_and_line) {
  Reload();
  std::ofstream(dir_ / "attributes.json") << "{\n  \"attributes\": {\n    \"A.TXT\": \"ro\"\n  }\n}\n";
  auto machine = sim::Machine::Load(dir_);
  try {
    machine->Get<sim::Drive>();
    FAIL() << "read a broken attributes.json";
  } catch (const sim::MachineError& e) {
    EXPECT_NE(std::string(e.what()).find("attributes.json:3:"), std::string::npos) << e.what();
  }
}

// Copy onto, delete and move a file that a running program holds, as each Windows refuses.
TEST_F(DriveTest, files_in_use_fail_as_each_windows_fails) {
  struct Family {
    WindowsFamily family;
    std::uint32_t copyOnto, deleteIt, moveIt;
  };
  for (const auto& f :
       {Family{WindowsFamily::k95, kErrorAccessDenied, kErrorAccessDenied, kErrorAccessDenied},
        Family{WindowsFamily::kNt, kErrorSharingViolation, kErrorAccessDenied, 0}}) {
    SCOPED_TRACE(f.family == WindowsFamily::kNt ? "NT" : "95");
    Make(f.family);
    Put("C:\\new.drv", "new");
    Put("C:\\old.drv", "old");
    machine_->Get<sim::Drive>().SetInUse("C:\\old.drv", true);
    Files().SetLastError(0);
    EXPECT_FALSE(Files().CopyFile("C:\\new.drv", "C:\\old.drv", false));
    EXPECT_EQ(Files().LastError(), f.copyOnto);
    EXPECT_FALSE(Files().DeleteFile("C:\\old.drv"));
    EXPECT_EQ(Files().LastError(), f.deleteIt);
    EXPECT_EQ(Files().MoveFile("C:\\old.drv", "C:\\aside.drv"), f.moveIt == 0);
    if (f.moveIt) {
      EXPECT_EQ(Files().LastError(), f.moveIt);
    }
    // Reading it is fine.
    EXPECT_EQ(Get(f.moveIt ? "C:\\old.drv" : "C:\\aside.drv"), "old");
  }
}

TEST_F(DriveTest, open_handles_block_deletion_and_copies_onto_the_file) {
  Make(WindowsFamily::kNt);
  Put("C:\\src.txt", "s");
  Put("C:\\open.txt", "o");
  FileHandle h = Files().OpenFile("C:\\open.txt", OpenMode::kOpenReadWrite);
  ASSERT_NE(h, kInvalidFileHandle);
  EXPECT_FALSE(Files().CopyFile("C:\\src.txt", "C:\\open.txt", false));
  EXPECT_EQ(Files().LastError(), kErrorSharingViolation);
  EXPECT_FALSE(Files().DeleteFile("C:\\open.txt"));
  EXPECT_EQ(Files().LastError(), kErrorSharingViolation);
  EXPECT_EQ(Files().OpenFile("C:\\open.txt", OpenMode::kCreateAlways), kInvalidFileHandle);
  EXPECT_TRUE(Files().CloseFile(h));
  EXPECT_TRUE(Files().DeleteFile("C:\\open.txt"));
  // A process that ends closes what it left open.
  auto other = machine_->StartProcess("other");
  ASSERT_NE(other->Os().files->OpenFile("C:\\src.txt", OpenMode::kOpenReadWrite), kInvalidFileHandle);
  EXPECT_FALSE(Files().DeleteFile("C:\\src.txt"));
  other.reset();
  EXPECT_TRUE(Files().DeleteFile("C:\\src.txt"));
}

TEST_F(DriveTest, free_space_shrinks_and_grows_and_a_full_disk_refuses_writes) {
  Make(WindowsFamily::k95, 100);
  Put("C:\\a.bin", std::string(60, 'a'));
  EXPECT_EQ(machine_->Config().freeBytes, 40u);
  FileHandle h = Files().OpenFile("C:\\b.bin", OpenMode::kCreateNew);
  std::string big(41, 'b');
  std::uint32_t written = 0xdeadbeef;
  EXPECT_FALSE(Files().WriteFile(h, big.data(), 41, &written));
  EXPECT_EQ(Files().LastError(), kErrorDiskFull);
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(Files().WriteFile(h, big.data(), 40, &written));
  // Overwriting bytes already there takes no space.
  Files().SeekFile(h, 0, SeekFrom::kBegin);
  EXPECT_TRUE(Files().WriteFile(h, big.data(), 40, &written));
  Files().CloseFile(h);
  EXPECT_EQ(machine_->Config().freeBytes, 0u);
  EXPECT_FALSE(Files().CopyFile("C:\\a.bin", "C:\\c.bin", true));
  EXPECT_EQ(Files().LastError(), kErrorDiskFull);
  EXPECT_FALSE(fs::exists(dir_ / "C" / "c.bin"));
  // A copy onto a bigger file frees the difference; deleting gives it all back.
  EXPECT_TRUE(Files().CopyFile("C:\\b.bin", "C:\\a.bin", false));
  EXPECT_EQ(machine_->Config().freeBytes, 20u);
  EXPECT_TRUE(Files().DeleteFile("C:\\a.bin"));
  EXPECT_TRUE(Files().DeleteFile("C:\\b.bin"));
  EXPECT_EQ(machine_->Config().freeBytes, 100u);
  Reload();
  EXPECT_EQ(machine_->Config().freeBytes, 100u);
}

TEST_F(DriveTest, disk_free_space_is_capped_on_windows_95_only) {
  for (auto family : {WindowsFamily::k95, WindowsFamily::kNt}) {
    Make(family, 8ull << 30);
    std::uint32_t spc = 0, bps = 0, freeClusters = 0, total = 0;
    ASSERT_TRUE(Files().GetDiskFreeSpace("C:\\", &spc, &bps, &freeClusters, &total));
    const std::uint64_t freeBytes = std::uint64_t(spc) * bps * freeClusters;
    if (family == WindowsFamily::k95) {
      EXPECT_LT(freeBytes, 2ull << 30);
      EXPECT_EQ(freeClusters, 65535u);
    } else {
      EXPECT_EQ(freeBytes, 8ull << 30);
    }
    std::uint64_t callerFree = 0;
    ASSERT_TRUE(Files().GetDiskFreeSpaceEx("C:\\", &callerFree, nullptr, nullptr));
    EXPECT_EQ(callerFree, 8ull << 30);
  }
  std::uint32_t spc = 0xdeadbeef;
  EXPECT_FALSE(Files().GetDiskFreeSpace("D:\\", &spc, nullptr, nullptr, nullptr));
  EXPECT_EQ(spc, 0xdeadbeefu);
}

TEST_F(DriveTest, every_effect_can_be_made_to_fail) {
  Put("C:\\a.txt", "a");
  auto& faults = machine_->GetFaults();
  struct Row {
    const char* point;
    std::function<bool()> call;
    std::uint32_t error;
  };
  char temp[kMaxPath];
  const std::vector<Row> rows = {
      {sim::fault::kFileCopy, [&] { return Files().CopyFile("C:\\a.txt", "C:\\b.txt", false); },
       kErrorAccessDenied},
      {sim::fault::kFileDelete, [&] { return Files().DeleteFile("C:\\a.txt"); }, kErrorAccessDenied},
      {sim::fault::kFileMove, [&] { return Files().MoveFile("C:\\a.txt", "C:\\b.txt"); }, kErrorAccessDenied},
      {sim::fault::kFileCreate, [&] { return Files().CreateDirectory("C:\\D"); }, kErrorAccessDenied},
      {sim::fault::kFileCreate, [&] { return Files().GetTempFileName("C:\\", "abc", 0, temp) != 0; },
       kErrorAccessDenied},
      {sim::fault::kFileCreate,
       [&] { return Files().OpenFile("C:\\n.txt", OpenMode::kCreateNew) != kInvalidFileHandle; },
       kErrorAccessDenied},
      {sim::fault::kFileAttributes, [&] { return Files().SetFileAttributes("C:\\a.txt", 1); },
       kErrorAccessDenied},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.point);
    faults.Arm(row.point);
    EXPECT_FALSE(row.call());
    EXPECT_EQ(Files().LastError(), row.error);
  }
  EXPECT_EQ(Get("C:\\a.txt"), "a");
  EXPECT_FALSE(fs::exists(dir_ / "C" / "b.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "C" / "n.txt"));
  EXPECT_EQ(Files().GetFileAttributes("C:\\a.txt"), kFileAttributeArchive);
  FileHandle h = Files().OpenFile("C:\\a.txt", OpenMode::kOpenReadWrite);
  char byte;
  std::uint32_t n = 0;
  faults.Arm(sim::fault::kFileRead);
  EXPECT_FALSE(Files().ReadFile(h, &byte, 1, &n));
  EXPECT_EQ(Files().LastError(), kErrorReadFault);
  faults.Arm(sim::fault::kFileWrite);
  EXPECT_FALSE(Files().WriteFile(h, "z", 1, &n));
  EXPECT_EQ(Files().LastError(), kErrorWriteFault);
  Files().CloseFile(h);
  EXPECT_EQ(Get("C:\\a.txt"), "a");
}

TEST(FindPattern, matches_as_windows_does) {
  struct Row {
    const char* name;
    const char* pattern;
    bool matches;
  };
  const Row rows[] = {
      {"README", "*.*", true},
      {"a.txt", "*.*", true},
      {"README", "*.", true},
      {"a.txt", "*.", false},
      {"OEM12.INF", "oem*.inf", true},
      {"oem1.inf.bak", "oem*.inf", false},
      {"a.txt", "?.TXT", true},
      {"ab.txt", "?.txt", false},
      {"FILE", "file.*", true},
      {"file.c", "file.*", true},
      {"x", "*", true},
      {"abc", "a*c*", true},
      {"abd", "a*c", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(sim::MatchesPattern(row.name, row.pattern), row.matches) << row.name << " ~ " << row.pattern;
}

}  // namespace
