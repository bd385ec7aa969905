#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/machine.h"
#include "sim/process.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

// INI files obey the drive's rules: read-only files, full disks and failing reads.
TEST(SimProfiles, writes_and_reads_go_through_drive_c) {
  const fs::path dir = fs::temp_directory_path() / ("j6-profiles-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  auto config = sim::MachineConfig::Defaults(WindowsFamily::k95);
  config.freeBytes = 40;
  auto machine = sim::Machine::Create(dir, config);
  auto process = machine->StartProcess("test");
  Profiles& profiles = *process->Os().profiles;
  FileSystem& files = *process->Os().files;

  ASSERT_TRUE(profiles.WriteString("Rename", "NUL", "C:\\OLD.DRV", "wininit.ini"));
  const fs::path ini = dir / "C" / "WINDOWS" / "wininit.ini";
  auto text = [&] {
    std::ifstream in(ini, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  };
  const std::string written = "[Rename]\r\nNUL=C:\\OLD.DRV\r\n";
  EXPECT_EQ(text(), written);

  // The disk has 40 - 26 bytes left: a longer line does not fit and the file stays as it was.
  EXPECT_FALSE(profiles.WriteString("Rename", "C:\\WINDOWS\\SYSTEM\\J6WAVE.DRV", "C:\\WINDOWS\\J6A1.TMP",
                                    "wininit.ini"));
  EXPECT_EQ(files.LastError(), kErrorDiskFull);

  ASSERT_TRUE(files.SetFileAttributes("C:\\WINDOWS\\WININIT.INI", kFileAttributeReadOnly));
  EXPECT_FALSE(profiles.WriteSection("Rename", "NUL=C:\\X\0", "wininit.ini"));
  EXPECT_EQ(files.LastError(), kErrorAccessDenied);
  EXPECT_EQ(text(), written);

  machine->GetFaults().Arm(sim::fault::kFileRead);
  char buffer[64];
  EXPECT_EQ(profiles.GetSection("Rename", buffer, sizeof buffer, "wininit.ini"), 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(profiles.GetSection("Rename", buffer, sizeof buffer, "wininit.ini"), 15u);

  process.reset();
  machine.reset();
  fs::remove_all(dir);
}

}  // namespace
