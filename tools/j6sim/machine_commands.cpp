// j6sim new, show and reboot: making, inspecting and restarting machine folders.
#include <ostream>

#include "sim/machine.h"
#include "sim/registry.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/summary.h"

namespace j6sim {

Command& AddNewCommand(CLI::App& app) {
  struct Options {
    std::string dir;
    std::string os = "95";
    std::string card = "pci";
    std::string windowsDir;
    std::string systemDir;
    std::uint64_t freeBytes = 0;
    bool legacy = false;
    bool noGmRom = false;
    std::uint32_t tableArea = 0;
  };
  auto options = std::make_shared<Options>();
  Command& command =
      NewCommand(app, "new", "Make a new machine folder (Windows 95 with the PCI card by default).");
  CLI::App* sub = command.app;
  sub->add_option("DIR", options->dir, "Folder to make; must not exist or be empty")->required();
  sub->add_option("--os", options->os, "Windows of the machine")
      ->check(CLI::IsMember({"95", "nt"}))
      ->capture_default_str();
  sub->add_option("--card", options->card, "How the sound card sits in the machine")
      ->check(CLI::IsMember({"pci", "isa", "none"}))
      ->capture_default_str();
  sub->add_option("--windows-dir", options->windowsDir,
                  "Windows directory (default C:\\WINDOWS, or C:\\WINNT on NT)");
  sub->add_option("--system-dir", options->systemDir,
                  "System directory (default WINDOWS\\SYSTEM, or WINNT\\SYSTEM32 on NT)");
  sub->add_option("--free-bytes", options->freeBytes, "Free space of drive C in bytes (default 500 MiB)");
  sub->add_flag("--legacy", options->legacy, "The card runs in legacy mode");
  sub->add_flag("--no-gm-rom", options->noGmRom, "The card has no General MIDI ROM");
  sub->add_option("--table-area", options->tableArea,
                  "Table area size of the sample memory in bytes (default 65536)");
  command.action = [options](std::ostream& out) {
    auto config = sim::MachineConfig::Defaults(options->os == "nt" ? platform::WindowsFamily::kNt
                                                                   : platform::WindowsFamily::k95);
    if (!options->windowsDir.empty()) {
      config.windowsDir = options->windowsDir;
      if (options->systemDir.empty())
        config.systemDir = options->windowsDir + (options->os == "nt" ? "\\SYSTEM32" : "\\SYSTEM");
    }
    if (!options->systemDir.empty()) config.systemDir = options->systemDir;
    for (const auto& [option, value] :
         {std::pair<const char*, const std::string&>{"--windows-dir", config.windowsDir},
          {"--system-dir", config.systemDir}}) {
      const bool onC =
          value.size() > 3 && (value[0] == 'C' || value[0] == 'c') && value.compare(1, 2, ":\\") == 0;
      if (!onC || value.find("..") != std::string::npos)
        throw sim::MachineError(std::string(option) + ": \"" + value +
                                "\" must be a folder on drive C, like C:\\WINDOWS");
    }
    if (options->freeBytes) config.freeBytes = options->freeBytes;
    config.card.kind = options->card == "isa"    ? sim::CardKind::kIsa
                       : options->card == "none" ? sim::CardKind::kNone
                                                 : sim::CardKind::kPci;
    config.card.legacyMode = options->legacy;
    config.card.gmRom = !options->noGmRom;
    if (options->tableArea) config.card.tableAreaSize = options->tableArea;
    auto machine = sim::Machine::Create(options->dir, config);
    sim::AddFreshWindowsKeys(machine->Get<sim::RegistryStore>());
    machine->Save();
    out << "Made machine " << options->dir << "\n";
    PrintSummary(*machine, out);
    return 0;
  };
  return command;
}

Command& AddShowCommand(CLI::App& app) {
  auto dir = std::make_shared<std::string>();
  Command& command = NewCommand(app, "show", "Print a summary of a machine folder.");
  command.app->add_option("DIR", *dir, "Machine folder")->required();
  command.action = [dir](std::ostream& out) {
    auto machine = sim::Machine::Load(*dir);
    PrintSummary(*machine, out);
    return 0;
  };
  return command;
}

Command& AddRebootCommand(CLI::App& app) {
  auto dir = std::make_shared<std::string>();
  Command& command =
      NewCommand(app, "reboot",
                 "Restart a machine: carry out what a restart carries out (wininit.ini [Rename] on "
                 "Windows 95, pending file operations on NT) and clear it.");
  command.app->add_option("DIR", *dir, "Machine folder")->required();
  command.action = [dir](std::ostream& out) {
    auto machine = sim::Machine::Load(*dir);
    RebootMachine(*machine, out);
    machine->Save();
    return 0;
  };
  return command;
}

}  // namespace j6sim
