// The Windows NT facilities of the simulated PC: service control manager, setup file queue, delayed file
// operations and the restart that carries them out, and regedit as a program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "sim/drive.h"
#include "sim/kernel_driver.h"
#include "sim/machine.h"
#include "sim/nt_restart.h"
#include "sim/pending_file_ops.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/registry.h"
#include "sim/services.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

class NtFacilities : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-ntfac");
    fs::remove_all(dir_);
    Make(WindowsFamily::kNt);
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }
  void Make(WindowsFamily family) {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(family));
    process_ = machine_->StartProcess("TEST.EXE", "C:\\");
  }
  // The next program, after the machine was saved and loaded again.
  void NextProgram(const std::string& currentDir = "C:\\") {
    process_.reset();
    machine_->Save();
    machine_ = sim::Machine::Load(dir_);
    process_ = machine_->StartProcess("TEST.EXE", currentDir);
  }
  Os& os() { return process_->Os(); }

  void Write(const std::string& path, const std::string& text) {
    FileHandle f = os().files->OpenFile(path.c_str(), OpenMode::kCreateAlways);
    ASSERT_NE(f, kInvalidFileHandle) << path;
    std::uint32_t written = 0;
    os().files->WriteFile(f, text.data(), static_cast<std::uint32_t>(text.size()), &written);
    os().files->CloseFile(f);
  }
  std::string Read(const std::string& path) {
    FileHandle f = os().files->OpenFile(path.c_str(), OpenMode::kRead);
    if (f == kInvalidFileHandle) return "<missing>";
    std::string text(static_cast<std::size_t>(os().files->GetFileSize(f)), '\0');
    std::uint32_t read = 0;
    os().files->ReadFile(f, text.data(), static_cast<std::uint32_t>(text.size()), &read);
    os().files->CloseFile(f);
    return text;
  }
  std::uint32_t Dword(const std::string& key, const char* name) {
    auto k = machine_->Get<sim::RegistryStore>().FindPath(key);
    if (!k || !k->FindValue(name) || k->FindValue(name)->data.size() != 4) return 0xDEADBEEF;
    const auto& d = k->FindValue(name)->data;
    return d[0] | d[1] << 8 | d[2] << 16 | std::uint32_t(d[3]) << 24;
  }

  // Creates a kernel-driver service whose image is C:\WINNT\System32\Drivers\<name>.sys.
  ServiceHandle CreateDriver(const char* name, bool withImage = true) {
    std::string image = std::string("\\SystemRoot\\System32\\Drivers\\") + name + ".sys";
    if (withImage) Write(std::string("C:\\WINNT\\SYSTEM32\\DRIVERS\\") + name + ".sys", "driver");
    ServiceConfig config;
    config.type = kServiceKernelDriver;
    config.start = kServiceDemandStart;
    config.errorControl = kServiceErrorNormal;
    config.binaryPath = image.c_str();
    config.group = "Base";
    ServiceHandle scm = os().services->OpenManager();
    ServiceHandle service = os().services->Create(scm, name, config);
    os().services->Close(scm);
    return service;
  }

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
};

const std::string kServices = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\";

TEST_F(NtFacilities, a_created_service_lives_in_the_registry_where_nt_keeps_it) {
  ServiceHandle service = CreateDriver("j6knldrv");
  ASSERT_NE(service, 0u);
  auto key = machine_->Get<sim::RegistryStore>().FindPath(kServices + "j6knldrv");
  ASSERT_TRUE(key);
  EXPECT_EQ(Dword(kServices + "j6knldrv", "Type"), 1u);
  EXPECT_EQ(Dword(kServices + "j6knldrv", "Start"), 3u);
  EXPECT_EQ(Dword(kServices + "j6knldrv", "ErrorControl"), 1u);
  ASSERT_TRUE(key->FindValue("ImagePath"));
  EXPECT_EQ(key->FindValue("ImagePath")->type, kRegExpandSz);
  EXPECT_STREQ(reinterpret_cast<const char*>(key->FindValue("ImagePath")->data.data()),
               "\\SystemRoot\\System32\\Drivers\\j6knldrv.sys");
  EXPECT_STREQ(reinterpret_cast<const char*>(key->FindValue("Group")->data.data()), "Base");

  ServiceConfig disabled;
  disabled.start = kServiceDisabled;
  EXPECT_TRUE(os().services->ChangeConfig(service, disabled));
  EXPECT_EQ(Dword(kServices + "j6knldrv", "Start"), 4u);
  EXPECT_STREQ(reinterpret_cast<const char*>(key->FindValue("Group")->data.data()), "Base") << "kept";
}

TEST_F(NtFacilities, service_calls_fail_with_the_codes_windows_nt_gives) {
  ServiceHandle service = CreateDriver("j6knldrv");
  ServiceHandle noImage = CreateDriver("j6knljs", /*withImage=*/false);
  auto* scm = os().services;
  ServiceHandle manager = scm->OpenManager();

  EXPECT_EQ(CreateDriver("J6KNLDRV"), 0u);
  EXPECT_EQ(scm->LastError(), kErrorServiceExists);
  EXPECT_EQ(scm->Open(manager, "nosuch"), 0u);
  EXPECT_EQ(scm->LastError(), kErrorServiceDoesNotExist);
  EXPECT_FALSE(scm->Start(noImage));
  EXPECT_EQ(scm->LastError(), kErrorPathNotFound);
  EXPECT_FALSE(scm->Stop(service));
  EXPECT_EQ(scm->LastError(), kErrorServiceNotActive);
  EXPECT_TRUE(scm->Start(service));
  EXPECT_FALSE(scm->Start(service));
  EXPECT_EQ(scm->LastError(), kErrorServiceAlreadyRunning);

  ServiceConfig disabled;
  disabled.start = kServiceDisabled;
  scm->ChangeConfig(noImage, disabled);
  EXPECT_FALSE(scm->Start(noImage));
  EXPECT_EQ(scm->LastError(), kErrorServiceDisabled);

  EXPECT_TRUE(scm->Delete(noImage));
  EXPECT_FALSE(scm->Start(noImage));
  EXPECT_EQ(scm->LastError(), kErrorServiceMarkedForDelete);
  EXPECT_EQ(CreateDriver("j6knljs"), 0u);
  EXPECT_EQ(scm->LastError(), kErrorServiceMarkedForDelete);
  EXPECT_FALSE(scm->Close(0x1234));
  EXPECT_EQ(scm->LastError(), kErrorInvalidHandle);

  // The last handle gone, the marked service disappears with its key.
  scm->Close(noImage);
  EXPECT_FALSE(machine_->Get<sim::RegistryStore>().FindPath(kServices + "j6knljs"));
  EXPECT_NE(CreateDriver("j6knljs"), 0u);
}

TEST_F(NtFacilities, windows_95_has_no_service_manager) {
  Make(WindowsFamily::k95);
  EXPECT_EQ(os().services, nullptr);
  EXPECT_EQ(os().fileQueue, nullptr);
}

TEST_F(NtFacilities, a_parameters_key_alone_is_not_a_service) {
  machine_->Get<sim::RegistryStore>().CreatePath(kServices + "j6knldrv\\Parameters\\Device0");
  ServiceHandle manager = os().services->OpenManager();
  EXPECT_EQ(os().services->Open(manager, "j6knldrv"), 0u);
  EXPECT_NE(CreateDriver("j6knldrv"), 0u);
  EXPECT_TRUE(machine_->Get<sim::RegistryStore>().FindPath(kServices + "j6knldrv\\Parameters\\Device0"));
}

TEST_F(NtFacilities, a_running_driver_holds_its_image_until_it_stops_or_the_machine_restarts) {
  ServiceHandle service = CreateDriver("j6knldrv");
  ServiceHandle demand = CreateDriver("j6knljs");
  ASSERT_TRUE(os().services->Start(service));
  ASSERT_TRUE(os().services->Start(demand));
  const char* image = "C:\\WINNT\\system32\\drivers\\j6knldrv.sys";
  EXPECT_FALSE(os().files->DeleteFile(image)) << "in use while running";

  ServiceConfig system;
  system.start = kServiceSystemStart;
  os().services->ChangeConfig(service, system);
  os().services->Close(service);
  os().services->Close(demand);

  // Running state outlives the program that started the service.
  NextProgram();
  ServiceHandle manager = os().services->OpenManager();
  service = os().services->Open(manager, "j6knldrv");
  std::uint32_t state = 0;
  ASSERT_TRUE(os().services->QueryStatus(service, &state));
  EXPECT_EQ(state, kServiceRunning);
  os().services->Close(service);
  os().services->Close(manager);

  // After a restart only the system-start driver runs again.
  process_.reset();
  sim::RestartNtMachine(*machine_);
  NextProgram();
  EXPECT_TRUE(machine_->Get<sim::ServiceDatabase>().IsRunning("j6knldrv"));
  EXPECT_FALSE(machine_->Get<sim::ServiceDatabase>().IsRunning("j6knljs"));
  EXPECT_TRUE(os().files->DeleteFile("C:\\WINNT\\system32\\drivers\\j6knljs.sys"));

  manager = os().services->OpenManager();
  service = os().services->Open(manager, "j6knldrv");
  EXPECT_TRUE(os().services->Stop(service));
  ASSERT_TRUE(os().services->QueryStatus(service, &state));
  EXPECT_EQ(state, kServiceStopped);
  EXPECT_TRUE(os().files->DeleteFile(image));
}

TEST_F(NtFacilities, the_kernel_driver_tells_the_banks_it_can_load_when_it_starts) {
  const std::string device = kServices + "j6knldrv\\Parameters\\Device0";
  ServiceHandle service = CreateDriver("j6knldrv");
  Write("C:\\WINNT\\SYSTEM32\\J6GM2.BIN", "bank");
  EXPECT_EQ(Dword(device, "GmFile"), 0xDEADBEEF) << "not before it runs";
  ASSERT_TRUE(os().services->Start(service));
  EXPECT_EQ(Dword(device, "GmFile"), 1u | 4u) << "the ROM and the 2 MB bank";

  ServiceConfig system;
  system.start = kServiceSystemStart;
  os().services->ChangeConfig(service, system);
  os().services->Close(service);
  Write("C:\\WINNT\\SYSTEM32\\j6gm1.bin", "bank");
  Write("C:\\WINNT\\SYSTEM32\\j6gm4.bin", "bank");
  machine_->Config().card.gmRom = false;
  process_.reset();
  sim::RestartNtMachine(*machine_);
  EXPECT_EQ(Dword(device, "GmFile"), 2u | 4u | 8u) << "the bank files, and no ROM on this card";

  machine_->Config().card.kind = sim::CardKind::kNone;
  machine_->Config().card.gmRom = true;
  EXPECT_EQ(sim::KernelDriverBanks(*machine_), 14u) << "no card, no ROM";
}

TEST_F(NtFacilities, the_file_queue_copies_and_replaces_a_target_in_use_at_the_restart) {
  os().files->CreateDirectory("C:\\DISK");
  Write("C:\\DISK\\new.dll", "new");
  Write("C:\\DISK\\busy.dll", "new busy");
  Write("C:\\DISK\\other.sys", "driver");
  Write("C:\\WINNT\\SYSTEM32\\busy.dll", "old busy");
  machine_->Get<sim::Drive>().SetInUse("C:\\WINNT\\SYSTEM32\\busy.dll", true);

  auto* queue = os().fileQueue;
  FileQueueHandle q = queue->Open();
  const std::uint32_t style = kSpCopyInUseNeedsReboot;
  EXPECT_TRUE(
      queue->QueueCopy(q, "C:\\DISK\\", nullptr, "new.dll", "C:\\WINNT\\system32\\", "new.dll", style));
  EXPECT_TRUE(queue->QueueCopy(q, "C:\\DISK", nullptr, "busy.dll", "C:\\WINNT\\system32", "busy.dll", style));
  EXPECT_TRUE(queue->QueueCopy(q, "C:\\DISK", nullptr, "gone.dll", "C:\\WINNT\\system32", "gone.dll", style));
  EXPECT_TRUE(
      queue->QueueCopy(q, "C:\\DISK", nullptr, "other.sys", "C:\\WINNT\\system32\\extra\\", nullptr, style));
  bool reboot = false;
  EXPECT_TRUE(queue->Commit(q, &reboot));
  queue->Close(q);

  EXPECT_TRUE(reboot);
  EXPECT_EQ(Read("C:\\WINNT\\system32\\new.dll"), "new");
  EXPECT_EQ(Read("C:\\WINNT\\system32\\extra\\other.sys"), "driver") << "target folders are made";
  EXPECT_EQ(Read("C:\\WINNT\\system32\\busy.dll"), "old busy");
  auto pending = sim::PendingFileOperations(machine_->Get<sim::RegistryStore>());
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_TRUE(pending[0].replace);
  EXPECT_EQ(pending[0].target, "C:\\WINNT\\SYSTEM32\\busy.dll") << "as the drive spells it";
  EXPECT_EQ(pending[0].source.rfind("C:\\WINNT\\TEMP\\SET", 0), 0u) << pending[0].source;

  process_.reset();
  sim::RestartNtMachine(*machine_);
  NextProgram();
  EXPECT_EQ(Read("C:\\WINNT\\system32\\busy.dll"), "new busy");
  EXPECT_TRUE(sim::PendingFileOperations(machine_->Get<sim::RegistryStore>()).empty());
}

TEST_F(NtFacilities, a_delayed_delete_happens_at_the_restart_and_only_on_nt) {
  Write("C:\\WINNT\\SYSTEM32\\busy.dll", "x");
  machine_->Get<sim::Drive>().SetInUse("C:\\WINNT\\SYSTEM32\\busy.dll", true);
  EXPECT_FALSE(os().files->DeleteFile("C:\\WINNT\\system32\\busy.dll"));
  EXPECT_TRUE(os().files->MoveFileEx("C:\\WINNT\\system32\\busy.dll", nullptr, kMoveFileDelayUntilReboot));
  auto key = machine_->Get<sim::RegistryStore>().FindPath(
      "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager");
  ASSERT_TRUE(key && key->FindValue("PendingFileRenameOperations"));
  const auto& data = key->FindValue("PendingFileRenameOperations")->data;
  const std::string expected = std::string("\\??\\C:\\WINNT\\SYSTEM32\\busy.dll") + '\0' + '\0' + '\0';
  EXPECT_EQ(std::string(data.begin(), data.end()), expected);

  process_.reset();
  auto report = sim::RestartNtMachine(*machine_);
  NextProgram();
  EXPECT_EQ(os().files->GetFileAttributes("C:\\WINNT\\system32\\busy.dll"), kInvalidFileAttributes);
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report[0], "deleted C:\\WINNT\\SYSTEM32\\busy.dll");

  Make(WindowsFamily::k95);
  Write("C:\\WINDOWS\\x.dll", "x");
  EXPECT_FALSE(os().files->MoveFileEx("C:\\WINDOWS\\x.dll", nullptr, kMoveFileDelayUntilReboot));
  EXPECT_EQ(os().files->LastError(), kErrorCallNotImplemented);
}

TEST_F(NtFacilities, regedit_imports_a_file_from_the_current_directory_as_its_own_program) {
  os().files->CreateDirectory("C:\\DISK");
  Write("C:\\DISK\\j6audio.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\J6]\r\n\"Name\"=\"x\"\r\n");
  NextProgram("C:\\DISK");
  ProcessHandle child = os().processes->Start("C:\\WINNT\\regedit /s j6audio.reg", 0);
  ASSERT_NE(child, kNoProcess);
  os().processes->CloseHandle(child);
  EXPECT_TRUE(machine_->Get<sim::RegistryStore>().FindPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\J6"));

  const auto& started = machine_->Get<sim::ProgramTable>().Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].exitCode, 0u);
  os().processes->Start("C:\\WINNT\\regedit /s missing.reg", 0);
  EXPECT_EQ(machine_->Get<sim::ProgramTable>().Started().back().exitCode, 1u);
}

}  // namespace
