// A simulated PC whose state lives in a machine folder:
//   machine.json   what kind of PC it is (MachineConfig)
//   C/             drive C
//   registry.reg   the whole registry as REGEDIT4 text
// Load it, start processes on it, and Save it back. Facilities that belong to the whole machine (the
// card, the virtual device, the service manager, ...) hang off it as components.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <typeindex>

#include "sim/clock.h"
#include "sim/faults.h"
#include "sim/linear_memory.h"
#include "sim/machine_config.h"
#include "sim/machine_error.h"

namespace sim {

class Process;

class Machine {
 public:
  // Makes a new machine folder (which must not exist or be empty) with the folders a real installation has.
  static std::unique_ptr<Machine> Create(const std::filesystem::path& dir, const MachineConfig& config);
  // Opens an existing machine folder; throws MachineError naming the file and line at fault.
  static std::unique_ptr<Machine> Load(const std::filesystem::path& dir);

  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Writes machine.json and every component's persistent state back into the folder.
  void Save();

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path DriveRoot() const { return dir_ / "C"; }
  MachineConfig& Config() { return config_; }
  const MachineConfig& Config() const { return config_; }
  bool IsNt() const { return config_.os == platform::WindowsFamily::kNt; }

  Faults& GetFaults() { return faults_; }
  VirtualClock& Clock() { return clock_; }
  LinearMemory& Memory() { return memory_; }

  // Machine-wide components, made on first use. T needs a constructor T(Machine&). Components that keep
  // state in the folder load it in that constructor and write it in Save() (T::Save() if it has one).
  template <typename T>
  T& Get() {
    auto key = std::type_index(typeid(T));
    auto it = components_.find(key);
    if (it == components_.end()) {
      auto holder = std::make_unique<Holder<T>>(*this);
      T& ref = holder->value;
      components_.emplace(key, std::move(holder));
      return ref;
    }
    return static_cast<Holder<T>*>(it->second.get())->value;
  }
  template <typename T>
  bool Has() const {
    return components_.count(std::type_index(typeid(T))) != 0;
  }

  // Starts a program on the machine. Its current directory is `currentDir` (a Windows path).
  std::unique_ptr<Process> StartProcess(const std::string& name, const std::string& currentDir = "C:\\");
  std::uint32_t NextProcessId() { return ++lastProcessId_; }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
    virtual void Save() = 0;
  };
  template <typename T>
  struct Holder : HolderBase {
    explicit Holder(Machine& m) : value(m) {}
    void Save() override {
      if constexpr (requires(T & t) { t.Save(); }) value.Save();
    }
    T value;
  };

  Machine(std::filesystem::path dir, MachineConfig config);

  std::filesystem::path dir_;
  MachineConfig config_;
  Faults faults_;
  VirtualClock clock_;
  LinearMemory memory_;
  std::map<std::type_index, std::unique_ptr<HolderBase>> components_;
  std::uint32_t lastProcessId_ = 0;
};

}  // namespace sim
