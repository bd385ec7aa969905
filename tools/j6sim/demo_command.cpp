// j6sim demo: the package's main job on a machine made for the occasion.
#include <chrono>
#include <filesystem>
#include <ostream>

#include <fstream>

#include "sim/dls_writer.h"
#include "sim/machine.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/dls_command.h"
#include "tools/j6sim/summary.h"

namespace j6sim {

Command& AddDemoCommand(CLI::App& app) {
  auto keep = std::make_shared<std::string>();
  Command& command =
      NewCommand(app, "demo", "Make a simulated PC in a temporary folder and run the package on it.");
  command.app->add_option("--keep", *keep, "Make the machine in this folder and keep it afterwards");
  command.action = [keep](std::ostream& out) {
    namespace fs = std::filesystem;
    fs::path dir = keep->empty()
                       ? fs::temp_directory_path() /
                             ("j6sim-demo-" +
                              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))
                       : fs::path(*keep);
    int status = 0;
    {
      auto machine = sim::Machine::Create(dir, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
      out << "== A new Windows 95 PC with the J6 Orvantis PCI card\n";
      PrintSummary(*machine, out);
      machine->Save();

      out << "== The DLS engine loads a small collection: one melodic instrument and one drum kit\n";
      const auto bytes = sim::dlsw::WriteDls(sim::dlsw::SmallCollection());
      std::ofstream(machine->DriveRoot() / "DEMO.DLS", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      status = LoadDlsCollections(*machine, {{"C:\\DEMO.DLS", "C:\\DEMO.DLS"}}, {}, out);
    }
    if (keep->empty()) {
      std::error_code ec;
      fs::remove_all(dir, ec);
    } else {
      out << "The machine stays in " << dir.string() << "\n";
    }
    return status;
  };
  return command;
}

}  // namespace j6sim
