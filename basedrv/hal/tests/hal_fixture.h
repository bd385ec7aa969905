// A simulated PC with the card, and processes on it that load j6base.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "basedrv/hal/hal.h"
#include "sim/card.h"
#include "sim/machine.h"
#include "sim/port_bus.h"
#include "sim/process.h"
#include "sim/vxd.h"

namespace haltest {

namespace fs = std::filesystem;

// One program on the machine with j6base loaded.
struct LoadedProcess {
  LoadedProcess(sim::Machine& machine, j6base::SharedSection& shared,
                const std::function<void(sim::Process&)>& before = {})
      : process(machine.StartProcess("app.exe")), context(shared, process->Os()) {
    if (before) before(*process);
    library.emplace(context);
  }
  std::unique_ptr<sim::Process> process;
  j6base::ProcessContext context;
  std::optional<j6base::LoadedLibrary> library;
};

class SimPc : public ::testing::Test {
 protected:
  void TearDown() override {
    scope_.reset();
    processes_.clear();
    machine_.reset();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Makes the machine; `configure` may change its card before it exists.
  sim::Machine& Boot(const std::function<void(sim::MachineConfig&)>& configure = {}) {
    auto config = sim::MachineConfig::Defaults(platform::WindowsFamily::k95);
    if (configure) configure(config);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        "j6-hal-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name();
    for (char& c : name)
      if (c == '/') c = '_';
    dir_ = fs::temp_directory_path() / name;
    fs::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, config);
    return *machine_;
  }

  // Starts a process that loads j6base, and makes it the calling process.
  LoadedProcess& Load(const std::function<void(sim::Process&)>& before = {}) {
    if (!machine_) Boot();
    processes_.push_back(std::make_unique<LoadedProcess>(*machine_, shared_, before));
    Select(*processes_.back());
    return *processes_.back();
  }
  void Select(LoadedProcess& p) {
    scope_.reset();
    scope_.emplace(p.context);
  }

  // Boots, loads and initialises the card; returns its identifier.
  std::uint32_t InitCard(const std::function<void(sim::MachineConfig&)>& configure = {}) {
    Boot(configure);
    Load();
    std::uint32_t id = 0;
    EXPECT_EQ(VEXA_Initialize(machine_->Config().card.hardwareKey, &id), 0u);
    Bus().ClearTrace();
    Vxd().ClearLog();
    return id;
  }

  sim::PortBus& Bus() { return machine_->Get<sim::PortBus>(); }
  sim::Card& Card() { return machine_->Get<sim::Card>(); }
  sim::VirtualDevice& Vxd() { return machine_->Get<sim::VirtualDevice>(); }
  j6base::DeviceInstance& Record(std::uint32_t id) { return *j6base::DeviceIDToHardwareInstance(id); }
  std::uint16_t Base() const { return machine_->Config().card.basePort; }

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  j6base::SharedSection shared_;
  std::vector<std::unique_ptr<LoadedProcess>> processes_;
  std::optional<j6base::ScopedProcess> scope_;
};

inline sim::PortAccess In(std::uint16_t port, std::uint32_t value) {
  return {sim::PortAccess::Kind::kIn, 1, port, value};
}
inline sim::PortAccess Out(std::uint16_t port, std::uint32_t value) {
  return {sim::PortAccess::Kind::kOut, 1, port, value};
}

}  // namespace haltest

namespace sim {
inline void PrintTo(const PortAccess& a, std::ostream* os) {
  *os << (a.kind == PortAccess::Kind::kIn ? "in " : "out ") << std::hex << a.port << "=" << a.value;
}
}  // namespace sim
