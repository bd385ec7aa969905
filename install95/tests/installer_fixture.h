// A simulated Windows 95 PC for installer tests: made in a temporary folder from a few lines, with
// files put on drive C and the installer run against a scripted user.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "install95/installer_app.h"
#include "sim/machine.h"
#include "sim/pe_writer.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/ui.h"
#include "tests/support/test_folder.h"

namespace testing_installer {

namespace fs = std::filesystem;

class InstallerMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-install95");
    fs::remove_all(dir_);
    config_ = sim::MachineConfig::Defaults(platform::WindowsFamily::k95);
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }

  // Makes the machine (after the test has adjusted config_) and a process whose current directory is
  // the installation disk C:\J6DISK.
  sim::Machine& Make() {
    machine_ = sim::Machine::Create(dir_, config_);
    fs::create_directories(machine_->DriveRoot() / "J6DISK");
    process_ = machine_->StartProcess("INSTALLER.EXE", "C:\\J6DISK");
    // Windows 95 has the RunOnce key from the start.
    platform::HKey key = 0;
    Os().registry->CreateKey(platform::kHkeyLocalMachine,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", &key);
    Os().registry->CloseKey(key);
    return *machine_;
  }
  void Put(const std::string& relative, const std::string& content) {
    fs::path p = machine_->DriveRoot() / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  void Put(const std::string& relative, const std::vector<std::uint8_t>& bytes) {
    Put(relative, std::string(bytes.begin(), bytes.end()));
  }
  bool Exists(const std::string& relative) { return fs::exists(machine_->DriveRoot() / relative); }
  platform::Os& Os() { return process_->Os(); }

  // Runs the installer with a script; returns the user's interface for its transcript.
  std::unique_ptr<sim::SimUi> RunInstaller(const std::string& script,
                                           const std::string& commandLine = "INSTALLER.EXE") {
    std::istringstream in(script);
    auto ui = std::make_unique<sim::SimUi>(sim::ParseUiSteps(in));
    ui->SetFiles(Os().files);
    Os().ui = ui.get();
    exitCode_ = install95::InstallerMain(Os(), commandLine.c_str());
    Os().ui = nullptr;
    return ui;
  }
  static bool Has(const sim::SimUi& ui, const std::string& line) {
    for (const auto& l : ui.Transcript())
      if (l.find(line) != std::string::npos) return true;
    return false;
  }
  std::size_t Restarts() { return machine_->Get<sim::ProgramTable>().RestartRequests().size(); }

  fs::path dir_;
  sim::MachineConfig config_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  int exitCode_ = -1;
};

}  // namespace testing_installer
