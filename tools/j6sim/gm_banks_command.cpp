// j6sim gm-banks: places stand-in General MIDI bank files in a machine's system directory.
#include <ostream>
#include <sstream>

#include "sim/gm_banks.h"
#include "sim/machine.h"
#include "tools/j6sim/commands.h"

namespace j6sim {

Command& AddGmBanksCommand(CLI::App& app) {
  struct Options {
    std::string dir;
    std::vector<int> selectors{1, 2, 4, 8};
    std::uint32_t size = 0;
  };
  auto options = std::make_shared<Options>();
  Command& command =
      NewCommand(app, "gm-banks",
                 "Place stand-in General MIDI bank files (j6gm1.bin ... j6gm8.bin) in the machine's "
                 "system directory. They hold no real samples.");
  CLI::App* sub = command.app;
  sub->add_option("DIR", options->dir, "Machine folder")->required();
  sub->add_option("--banks", options->selectors, "Which banks, by size in MB")
      ->check(CLI::IsMember({1, 2, 4, 8}))
      ->delimiter(',')
      ->capture_default_str();
  sub->add_option("--size", options->size, "Size of each file in bytes (default: the bank's size in MB)");
  command.action = [options](std::ostream& out) {
    auto machine = sim::Machine::Load(options->dir);
    std::vector<std::uint8_t> selectors(options->selectors.begin(), options->selectors.end());
    for (const auto& path : sim::InstallGmBanks(*machine, selectors, options->size))
      out << "Wrote " << path.string() << "\n";
    return 0;
  };
  return command;
}

}  // namespace j6sim
