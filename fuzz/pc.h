// A simulated Windows 95 PC shared by every run of a fuzz target: made once in a temporary folder,
// so a run costs a file write and the calls under test.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "sim/machine.h"
#include "sim/process.h"

namespace j6fuzz {

class Pc {
 public:
  Pc() {
    dir_ = std::filesystem::temp_directory_path() / ("j6-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
    process_ = machine_->StartProcess("FUZZ.EXE", "C:\\WINDOWS");
  }
  ~Pc() {
    process_.reset();
    machine_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Puts `bytes` on drive C at `relative` (below C:\).
  void Put(const std::string& relative, const std::uint8_t* data, std::size_t size) {
    std::ofstream(machine_->DriveRoot() / relative, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  platform::Os& Os() { return process_->Os(); }
  sim::Machine& Machine() { return *machine_; }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
};

}  // namespace j6fuzz
