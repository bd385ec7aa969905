// A simulated PC shared by every run of a fuzz target: made once in a scratch folder, so a run costs a
// few file writes and the calls under test.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "sim/machine.h"
#include "sim/process.h"

namespace j6fuzz {

class Pc {
 public:
  explicit Pc(platform::WindowsFamily family = platform::WindowsFamily::k95,
              const std::string& currentDir = "C:\\WINDOWS") {
    // The name has the same length in every run, so the paths built from it take the same branches.
    char name[64];
    std::snprintf(name, sizeof name, "j6-fuzz-%010ld-%d", static_cast<long>(::getpid()), count_++);
    dir_ = ScratchFolder() / name;
    std::filesystem::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(family));
    process_ = machine_->StartProcess("FUZZ.EXE", currentDir);
  }
  ~Pc() {
    process_.reset();
    machine_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Puts `bytes` on drive C at `relative` (below C:\), making its folders.
  void Put(const std::string& relative, const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = machine_->DriveRoot() / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  void Put(const std::string& relative, const std::string& text) {
    Put(relative, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
  // The bytes of a file of drive C, or false when there is none.
  bool Get(const std::string& relative, std::string* bytes) const {
    std::ifstream in(machine_->DriveRoot() / relative, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(machine_->DriveRoot() / relative);
  }

  // Remembers what drive C holds now; Reset later removes whatever came after and puts back every file
  // that was there, as it was.
  void Mark() {
    marked_ = List();
    files_.clear();
    for (const std::string& path : marked_)
      if (std::string bytes;
          std::filesystem::is_regular_file(machine_->DriveRoot() / path) && Get(path, &bytes))
        files_[path] = bytes;
  }
  void Reset() {
    for (const std::string& path : List())
      if (!marked_.count(path)) std::filesystem::remove_all(machine_->DriveRoot() / path);
    for (const auto& [path, bytes] : files_)
      if (std::string now; !Get(path, &now) || now != bytes) Put(path, bytes);
  }
  // Paths on drive C (relative, '/' separated) that are not in the mark, in order.
  std::set<std::string> Added() const {
    std::set<std::string> added;
    for (const std::string& path : List())
      if (!marked_.count(path)) added.insert(path);
    return added;
  }
  // Files of the mark that are gone.
  std::set<std::string> Removed() const {
    std::set<std::string> removed;
    for (const auto& [path, bytes] : files_)
      if (!Exists(path)) removed.insert(path);
    return removed;
  }

  platform::Os& Os() { return process_->Os(); }
  sim::Machine& Machine() { return *machine_; }

 private:
  std::set<std::string> List() const {
    std::set<std::string> paths;
    const std::filesystem::path root = machine_->DriveRoot();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
      paths.insert(entry.path().lexically_relative(root).generic_string());
    return paths;
  }

  // Every run creates and deletes files on drive C: a folder in memory makes that twice as fast as one
  // on disk.
  static std::filesystem::path ScratchFolder() {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return std::filesystem::temp_directory_path();
  }

  static inline int count_ = 0;
  std::filesystem::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  std::set<std::string> marked_;
  std::map<std::string, std::string> files_;
};

}  // namespace j6fuzz
