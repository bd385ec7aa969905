// A Windows 95 machine in a temporary folder, with one process whose platform::Os the installer code
// under test receives, and a few helpers to set up and examine its registry and drive C.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "install95/installer_app.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/ui.h"

namespace install95::testing {

class InstallMachine : public ::testing::Test {
 protected:
  void SetUp() override { MakeMachine(sim::MachineConfig::Defaults(platform::WindowsFamily::k95)); }
  void TearDown() override {
    if (process_) Os().ui = nullptr;
    app_.reset();
    process_.reset();
    machine_.reset();
    std::filesystem::remove_all(dir_);
  }

  void MakeMachine(const sim::MachineConfig& config, const std::string& currentDir = "C:\\J6DISK") {
    app_.reset();
    process_.reset();
    machine_.reset();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    dir_ = std::filesystem::temp_directory_path() / ("j6-inst95-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, config);
    std::filesystem::create_directories(machine_->DriveRoot() / "J6DISK");
    process_ = machine_->StartProcess("INSTALLER.EXE", currentDir);
    app_ = std::make_unique<InstallerApp>(process_->Os(), "INSTALLER.EXE");
  }

  platform::Os& Os() { return process_->Os(); }
  // The installer's run: survey flags and the current page the actions read.
  InstallerApp& App() { return *app_; }
  platform::Registry& Reg() { return *process_->Os().registry; }
  sim::Faults& Faults() { return machine_->GetFaults(); }

  bool KeyExists(const std::string& path) {
    platform::HKey key = 0;
    if (Reg().OpenKey(platform::kHkeyLocalMachine, path.c_str(), &key) != 0) return false;
    Reg().CloseKey(key);
    return true;
  }
  void MakeKey(const std::string& path) {
    platform::HKey key = 0;
    ASSERT_EQ(Reg().CreateKey(platform::kHkeyLocalMachine, path.c_str(), &key), 0u) << path;
    Reg().CloseKey(key);
  }
  void SetString(const std::string& path, const char* name, const std::string& value) {
    platform::HKey key = 0;
    ASSERT_EQ(Reg().CreateKey(platform::kHkeyLocalMachine, path.c_str(), &key), 0u) << path;
    ASSERT_EQ(
        Reg().SetValue(key, name, platform::kRegSz, reinterpret_cast<const std::uint8_t*>(value.c_str()),
                       static_cast<std::uint32_t>(value.size() + 1)),
        0u);
    Reg().CloseKey(key);
  }

  // Drive C through the program's own view of it.
  void PutFile(const std::string& path, const std::string& bytes) {
    platform::FileSystem& files = *Os().files;
    platform::FileHandle file = files.OpenFile(path.c_str(), platform::OpenMode::kCreateAlways);
    ASSERT_NE(file, platform::kInvalidFileHandle) << path;
    std::uint32_t written = 0;
    ASSERT_TRUE(files.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written));
    ASSERT_EQ(written, bytes.size());
    files.CloseFile(file);
  }
  std::optional<std::string> GetFile(const std::string& path) {
    platform::FileSystem& files = *Os().files;
    platform::FileHandle file = files.OpenFile(path.c_str(), platform::OpenMode::kRead);
    if (file == platform::kInvalidFileHandle) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    std::uint32_t got = 0;
    while (files.ReadFile(file, chunk, sizeof chunk, &got) && got != 0) bytes.append(chunk, got);
    files.CloseFile(file);
    return bytes;
  }
  bool FileThere(const std::string& path) {
    return Os().files->GetFileAttributes(path.c_str()) != platform::kInvalidFileAttributes;
  }
  void MakeFolder(const std::string& path) { ASSERT_TRUE(Os().files->CreateDirectory(path.c_str())) << path; }
  // Names matching a pattern such as "C:\*.TMP", in the drive's order.
  std::vector<std::string> Find(const std::string& pattern) {
    std::vector<std::string> names;
    platform::FindData data;
    platform::FindHandle find = Os().files->FindFirstFile(pattern.c_str(), &data);
    if (find == platform::kInvalidFindHandle) return names;
    do names.push_back(data.name);
    while (Os().files->FindNextFile(find, &data));
    Os().files->FindClose(find);
    return names;
  }

  // A scripted user (steps one a line, as j6sim takes them) for the program's windows from now on.
  sim::SimUi& UseUser(const std::string& script = "") {
    std::istringstream in(script);
    ui_ = std::make_unique<sim::SimUi>(sim::ParseUiSteps(in));
    ui_->SetFiles(Os().files);
    Os().ui = ui_.get();
    return *ui_;
  }
  bool Shown(const std::string& text) {
    for (const auto& line : ui_->Transcript())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  // The [Rename] entries of wininit.ini, in order.
  std::vector<std::string> RenameEntries() {
    std::vector<char> buffer(65536);
    std::uint32_t n = Os().profiles->GetSection(
        "Rename", buffer.data(), static_cast<std::uint32_t>(buffer.size()), "C:\\WINDOWS\\wininit.ini");
    std::vector<std::string> entries;
    for (std::size_t at = 0; at < n && buffer[at] != 0; at += entries.back().size() + 1)
      entries.emplace_back(&buffer[at]);
    return entries;
  }

  std::filesystem::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  std::unique_ptr<InstallerApp> app_;
  std::unique_ptr<sim::SimUi> ui_;
};

}  // namespace install95::testing
