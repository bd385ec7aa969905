#include "wizard/page_frame.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/faults.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/ui.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class PageFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-wizard");
    fs::remove_all(dir_);
    auto config = sim::MachineConfig::Defaults(platform::WindowsFamily::k95);
    config.freeBytes = 3 * 32768;  // three clusters
    machine_ = sim::Machine::Create(dir_, config);
    fs::create_directories(machine_->DriveRoot() / "DISK");
    process_ = machine_->StartProcess("SETUP.EXE", "C:\\DISK");
    os_ = &process_->Os();
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }
  void Put(const std::string& name, std::size_t size) {
    std::ofstream(machine_->DriveRoot() / "DISK" / name, std::ios::binary) << std::string(size, 'x');
  }
  std::string SysTray(std::uint32_t* type = nullptr) {
    platform::HKey key = 0;
    if (os_->registry->OpenKey(platform::kHkeyCurrentUser, kTray, &key)) return "<no key>";
    std::uint8_t data[8] = {};
    std::uint32_t size = sizeof data;
    auto r = os_->registry->QueryValue(key, "Services", type, data, &size);
    os_->registry->CloseKey(key);
    return r ? "<no value>" : std::string(reinterpret_cast<char*>(data), size);
  }
  static constexpr const char* kTray = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray";

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  platform::Os* os_ = nullptr;
};

TEST_F(PageFrame, disk_space_counts_everything_but_programs_and_the_detection_library) {
  std::int32_t required = -1, available = -1;
  std::string root;
  Put("SETUP.EXE", 500000);
  Put("detect32.dll", 500000);  // names are compared in upper case
  EXPECT_TRUE(wizard::CheckDiskSpace(*os_, &required, &available, &root));
  EXPECT_EQ(required, 0);
  EXPECT_EQ(available, 3 * 32768);
  EXPECT_EQ(root, "C:\\");

  Put("J6WAVE.DRV", 3 * 32768);
  fs::create_directories(machine_->DriveRoot() / "DISK" / "SUB.EXE.D");
  EXPECT_TRUE(wizard::CheckDiskSpace(*os_, &required, &available, &root));  // equal still fits
  EXPECT_EQ(required, 3 * 32768);
  Put("logo.bmp", 1);
  EXPECT_FALSE(wizard::CheckDiskSpace(*os_, &required, &available, &root));
  EXPECT_EQ(required, 3 * 32768 + 1);
}

TEST_F(PageFrame, tray_volume_sets_bit_4_keeping_type_and_length_and_writes_nothing_without_the_value) {
  wizard::EnableTrayVolume(*os_);  // no key
  EXPECT_EQ(SysTray(), "<no key>");
  platform::HKey key = 0;
  ASSERT_EQ(os_->registry->CreateKey(platform::kHkeyCurrentUser, kTray, &key), 0u);
  wizard::EnableTrayVolume(*os_);
  EXPECT_EQ(SysTray(), "<no value>");
  const std::uint8_t two[2] = {0x01, 0x80};
  os_->registry->SetValue(key, "Services", platform::kRegBinary, two, 2);
  os_->registry->CloseKey(key);
  wizard::EnableTrayVolume(*os_);
  std::uint32_t type = 0;
  EXPECT_EQ(SysTray(&type), std::string("\x05\x80", 2));
  EXPECT_EQ(type, platform::kRegBinary);
}

TEST_F(PageFrame, run_once_marker_is_a_single_space_and_silent_without_the_key) {
  os_->registry->DeleteKey(platform::kHkeyLocalMachine,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  wizard::WriteRunOnceMarker(*os_);
  platform::HKey key = 0;
  EXPECT_NE(os_->registry->OpenKey(platform::kHkeyLocalMachine,
                                   "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", &key),
            0u);
  ASSERT_EQ(os_->registry->CreateKey(platform::kHkeyLocalMachine,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", &key),
            0u);
  wizard::WriteRunOnceMarker(*os_);
  std::uint8_t data[8];
  std::uint32_t size = sizeof data, type = 0;
  ASSERT_EQ(os_->registry->QueryValue(key, "OVSetupProfile", &type, data, &size), 0u);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string(" \0", 2));
  os_->registry->CloseKey(key);
}

TEST_F(PageFrame, applet_command_line_and_a_failed_start_reports_the_error_code) {
  EXPECT_EQ(wizard::WavetableAppletCommand("C:\\WIN", "C:\\WIN\\SYS"),
            "C:\\WIN\\RunDll32.EXE C:\\WIN\\SYS\\Shell32.dll,Control_RunDLL C:\\WIN\\SYS\\J6Audio.cpl");
  sim::SimUi ui(std::vector<sim::UiStep>{});
  os_->ui = &ui;
  machine_->GetFaults().Arm(sim::fault::kProcessStart);
  wizard::StartWavetableApplet(*os_, 0);
  EXPECT_EQ(ui.Transcript().at(0),
            "message box \"CreateProcess: Error\" [OK, stop] over dialog 0: \"CreateProcess() failed. Error "
            "Code = 5\"");
  EXPECT_TRUE(machine_->Get<sim::ProgramTable>().Started().empty());
  wizard::StartWavetableApplet(*os_, 0);
  EXPECT_EQ(machine_->Get<sim::ProgramTable>().Started().size(), 1u);
  os_->ui = nullptr;
}

TEST_F(PageFrame, restart_asks_for_a_reboot) {
  wizard::RequestRestart(*os_);
  EXPECT_EQ(machine_->Get<sim::ProgramTable>().RestartRequests(),
            std::vector<std::uint32_t>{platform::kEwxReboot});
}

}  // namespace
