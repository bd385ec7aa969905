// A simulated Windows NT machine in a temporary folder, with one running program and helpers to set up
// and inspect its registry and drive.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/process.h"
#include "sim/ui.h"
#include "tools/ntdisk/nt_disk.h"

namespace setupnt_test {

namespace fs = std::filesystem;

class NtMachine : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Ends the current program (saving the machine) and starts the next one in `currentDir`.
  void Restart(const std::string& currentDir = "C:\\");
  platform::Os& Os() { return process_->Os(); }
  sim::Machine& Machine() { return *machine_; }
  sim::SimUi& Ui() { return *ui_; }
  // Gives the program a scripted user.
  void SetUi(std::vector<sim::UiStep> steps);

  // Registry, by full path below HKLM ("HKLM\...") or HKCU ("HKCU\...").
  void SetString(const std::string& key, const std::string& name, const std::string& data);
  void SetDword(const std::string& key, const std::string& name, std::uint32_t value);
  void MakeKey(const std::string& key);
  bool KeyExists(const std::string& key);
  bool ValueExists(const std::string& key, const std::string& name);
  std::string GetString(const std::string& key, const std::string& name);
  std::uint32_t GetDword(const std::string& key, const std::string& name);
  std::vector<std::string> ValueNames(const std::string& key);
  std::vector<std::string> SubkeyNames(const std::string& key);

  // Drive C, by Windows path.
  fs::path HostPath(const std::string& windowsPath) const;
  void WriteFile(const std::string& windowsPath, const std::string& content);
  void WriteFile(const std::string& windowsPath, const std::vector<std::uint8_t>& content);
  bool FileExists(const std::string& windowsPath) const;
  std::string ReadFile(const std::string& windowsPath) const;

  // The installation disk in `windowsDir` on drive C; the banks are small unless options say otherwise.
  static ntdisk::NtDiskOptions SmallDisk();
  void PutDisk(const std::string& windowsDir, const ntdisk::NtDiskOptions& options = SmallDisk());

  // The bar positions the progress windows showed, in order.
  std::vector<int> BarPositions() const;

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  std::unique_ptr<sim::SimUi> ui_;
};

}  // namespace setupnt_test
