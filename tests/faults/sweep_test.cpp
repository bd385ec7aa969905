// Fault-injection sweep: each flow runs once on a clean machine to count how often it asks each fault
// point; then, on a fresh machine each time, exactly one of those hits fails. Whatever fails, the flow
// must end with a clean status, change no registry key the clean run leaves alone, leave every file it
// found either as it was or as the clean run leaves it, and give back every block it took.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "install95/installer_app.h"
#include "sim/faults.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/registry.h"
#include "sim/ui.h"
#include "sim/vxd.h"
#include "tools/j6sim/commands.h"

namespace {

namespace fs = std::filesystem;

// At most this many injected faults per flow: spread evenly over all hits when there are more.
constexpr std::size_t kMaxFaults = 300;

using Sections = std::map<std::string, std::string>;  // registry key path -> its REGEDIT4 lines

Sections SplitKeys(const std::string& text) {
  Sections keys;
  std::istringstream in(text);
  std::string line, current;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') current = line;
    if (!current.empty()) keys[current] += line + "\n";
  }
  return keys;
}

using Files = std::map<std::string, std::string>;  // path below the drive -> content

Files ReadDrive(const fs::path& root) {
  Files files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    files[fs::relative(e.path(), root).generic_string()] = s.str();
  }
  return files;
}

struct Outcome {
  bool clean = true;  // the status or exit code the flow may end with
  std::string detail;
  Sections registry;
  Files files;
  bool leaked = false;
  std::map<std::string, std::uint64_t> hits;
};

// A flow: prepares a machine in `dir`, arms `arm` (if any) after the preparation, runs, reports.
using Flow = std::function<Outcome(const fs::path& dir, const std::function<void(sim::Faults&)>& arm)>;

Outcome Finish(sim::Machine& machine, Outcome o) {
  o.registry = SplitKeys(machine.Get<sim::RegistryStore>().ToText());
  o.files = ReadDrive(machine.DriveRoot());
  o.hits = machine.GetFaults().AllHits();
  return o;
}

// The Windows 95 installer with the stand-in disk, installing the Windows drivers with the answers a
// scripted user gives; message boxes the faults bring up are acknowledged.
Outcome Install95(const fs::path& dir, const std::function<void(sim::Faults&)>& arm, Sections* before,
                  Files* beforeFiles) {
  auto machine = sim::Machine::Create(dir, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
  j6sim::WriteStandInDisk95(machine->DriveRoot() / "J6DISK");
  Outcome o;
  {
    auto process = machine->StartProcess("INSTALLER.EXE", "C:\\J6DISK");
    platform::HKey key = 0;
    process->Os().registry->CreateKey(platform::kHkeyLocalMachine,
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", &key);
    process->Os().registry->CloseKey(key);
    if (before) *before = SplitKeys(machine->Get<sim::RegistryStore>().ToText());
    if (beforeFiles) *beforeFiles = ReadDrive(machine->DriveRoot());
    std::istringstream script(
        "@130 click Next -->\n@102,145,146,147,148,151 check 1009\n@102,145,146,147,148,151 click OK\n@141 "
        "click 1016\n@141,150 click Finish\n"
        "@140 click Finish\n@149 click OK\n" +
        [] {
          std::string more;
          for (int i = 0; i < 20; ++i) more += "answer ok\nanswer no\n";
          return more;
        }());
    sim::SimUi ui(sim::ParseUiSteps(script));
    ui.SetFiles(process->Os().files);
    process->Os().ui = &ui;
    machine->GetFaults().Clear();
    if (arm) arm(machine->GetFaults());
    try {
      const int status = install95::InstallerMain(process->Os(), "C:\\J6DISK\\INSTALLER.EXE");
      o.clean = status == 0 || status == 1;
      o.detail = "exit " + std::to_string(status);
    } catch (const sim::UiError& e) {
      // A window the scripted user has no step for: the program is still in control, not crashed.
      o.detail = std::string("user stopped: ") + e.what();
    }
    machine->GetFaults().Clear();
    process->Os().ui = nullptr;
  }
  return Finish(*machine, std::move(o));
}

// Loading j6base and starting the card: VEXA_Initialize with the DLS engine's start, then VEXA_Exit.
Outcome Initialize(const fs::path& dir, const std::function<void(sim::Faults&)>& arm, Sections* before,
                   Files* beforeFiles) {
  auto machine = sim::Machine::Create(dir, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
  if (before) *before = SplitKeys(machine->Get<sim::RegistryStore>().ToText());
  if (beforeFiles) *beforeFiles = ReadDrive(machine->DriveRoot());
  Outcome o;
  {
    auto process = machine->StartProcess("j6sim.exe");
    machine->GetFaults().Clear();
    if (arm) arm(machine->GetFaults());
    {
      j6base::SharedSection shared;
      j6base::ProcessContext context(shared, process->Os());
      j6base::LoadedLibrary library(context);
      j6base::ScopedProcess scope(context);
      std::uint32_t id = 0;
      const std::uint32_t status = VEXA_Initialize(machine->Config().card.hardwareKey, &id);
      o.detail = "VEXA_Initialize " + std::to_string(status);
      if (status == VEXA_OK) VEXA_Exit(id);
    }
    machine->GetFaults().Clear();
    auto* space = dynamic_cast<sim::ProcessAddressSpace*>(process->Os().memory);
    if (space && space->GlobalBytesInUse() != 0) o.leaked = true;
    if (machine->Get<sim::VirtualDevice>().SharedAllocations() != 0) o.leaked = true;
  }
  return Finish(*machine, std::move(o));
}

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fs::temp_directory_path() / ("j6-sweep-" + std::to_string(::getpid())); }
  void TearDown() override { fs::remove_all(dir_); }

  using Runner = Outcome (*)(const fs::path&, const std::function<void(sim::Faults&)>&, Sections*, Files*);

  // Runs the sweep; returns the number of faults injected.
  std::size_t Run(Runner run) {
    fs::remove_all(dir_);
    Sections before;
    Files beforeFiles;
    const Outcome clean = run(dir_, nullptr, &before, &beforeFiles);
    EXPECT_TRUE(clean.clean) << clean.detail;
    EXPECT_FALSE(clean.leaked);
    // Keys the flow itself changes.
    std::set<std::string> own;
    for (const auto& [key, text] : clean.registry)
      if (!before.count(key) || before.at(key) != text) own.insert(key);
    for (const auto& [key, text] : before)
      if (!clean.registry.count(key)) own.insert(key);

    std::vector<std::pair<std::string, std::uint64_t>> faults;
    for (const auto& [point, hits] : clean.hits)
      for (std::uint64_t n = 0; n < hits; ++n) faults.emplace_back(point, n);
    std::vector<std::pair<std::string, std::uint64_t>> chosen;
    const std::size_t step = faults.size() > kMaxFaults ? (faults.size() + kMaxFaults - 1) / kMaxFaults : 1;
    for (std::size_t i = 0; i < faults.size(); i += step) chosen.push_back(faults[i]);

    for (const auto& [point, n] : chosen) {
      SCOPED_TRACE(point + " hit " + std::to_string(n + 1));
      fs::remove_all(dir_);
      const Outcome o = run(
          dir_, [&, p = point, k = n](sim::Faults& f) { f.Arm(p, std::uint32_t(k)); }, nullptr, nullptr);
      EXPECT_TRUE(o.clean) << o.detail;
      EXPECT_FALSE(o.leaked) << o.detail;
      for (const auto& [key, text] : o.registry) {
        if (!own.count(key)) {
          EXPECT_EQ(text, before.count(key) ? before.at(key) : "") << key;
        }
      }
      for (const auto& [key, text] : before) {
        if (!own.count(key)) {
          EXPECT_TRUE(o.registry.count(key)) << key << " lost";
        }
      }
      for (const auto& [path, content] : beforeFiles) {
        auto after = o.files.find(path);
        auto cleanAfter = clean.files.find(path);
        const bool asBefore = after != o.files.end() && after->second == content;
        const bool asClean = cleanAfter == clean.files.end()
                                 ? after == o.files.end()
                                 : after != o.files.end() && after->second == cleanAfter->second;
        EXPECT_TRUE(asBefore || asClean) << path << " neither as it was nor as a clean run leaves it";
      }
    }
    std::printf("[ sweep    ] clean run: %s\n", clean.detail.c_str());
    std::printf("[ sweep    ] %zu fault points hit %zu times, %zu faults injected\n", clean.hits.size(),
                faults.size(), chosen.size());
    return chosen.size();
  }

  fs::path dir_;
};

TEST_F(Sweep, windows95_installer) {
  EXPECT_GT(Run(Install95), 0u);
}

TEST_F(Sweep, library_start_with_the_dls_engine) {
  EXPECT_GT(Run(Initialize), 0u);
}

}  // namespace
