// j6sim demo: the package's main job on a machine made for the occasion.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <utility>
#include <vector>

#include "install95/installer_app.h"
#include "sim/dls_writer.h"
#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/registry.h"
#include "sim/ui.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/dls_command.h"
#include "tools/j6sim/summary.h"

namespace j6sim {

namespace {

namespace fs = std::filesystem;

// What the person at the PC does: keep "Install/Update Windows drivers", add the DOS utilities, OK, and
// set up Downloadable Sounds now.
constexpr const char* kInstallerUser =
    "@148 check Install DOS utilities\n"
    "@148 click OK\n"
    "answer yes if Downloadable\n";

// The files the installation put on drive C, by folder.
void PrintInstalledFiles(sim::Machine& machine, std::ostream& out) {
  const fs::path drive = machine.DriveRoot();
  for (const char* folder : {"WINDOWS/SYSTEM", "WINDOWS/INF", "WINDOWS", ""}) {
    std::vector<std::pair<std::string, std::uintmax_t>> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(drive / folder, ec)) {
      if (!entry.is_regular_file()) continue;
      std::string name = entry.path().filename().string();
      std::string upper;
      for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      for (const char* prefix : {"J6", "CONFIG.", "AUTOEXEC.", "WININIT."})
        if (upper.rfind(prefix, 0) == 0) files.emplace_back(name, entry.file_size());
    }
    std::sort(files.begin(), files.end());
    std::string shown = folder;
    for (char& c : shown)
      if (c == '/') c = '\\';
    for (const auto& [name, size] : files)
      out << "  C:\\" << shown << (shown.empty() ? "" : "\\") << name << " (" << size << " bytes)\n";
  }
}

// The PC as its owner left it: DOS start-up files of their own, and the wave driver of an earlier
// installation, loaded by Windows, so that its update has to wait for the restart.
void Furnish(sim::Machine& machine) {
  sim::AddFreshWindowsKeys(machine.Get<sim::RegistryStore>());
  const fs::path drive = machine.DriveRoot();
  std::ofstream(drive / "AUTOEXEC.BAT", std::ios::binary)
      << "@ECHO OFF\r\nPROMPT $P$G\r\nPATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND\r\nSET "
         "TEMP=C:\\WINDOWS\\TEMP\r\n";
  std::ofstream(drive / "CONFIG.SYS", std::ios::binary)
      << "device=c:\\windows\\himem.sys\r\ndevice=c:\\windows\\emm386.exe noems\r\ndos=high\r\nFILES=40\r\n";
  std::ofstream(drive / "WINDOWS" / "SYSTEM" / "j6wave.drv", std::ios::binary) << "earlier wave driver";
  machine.Get<sim::Drive>().SetInUse("C:\\WINDOWS\\SYSTEM\\j6wave.drv", true);
}

// `name` is the file's path below C:\ with "/" between folders.
void PrintTextFile(sim::Machine& machine, const std::string& name, std::ostream& out) {
  std::ifstream in(machine.DriveRoot() / name, std::ios::binary);
  std::string shown = name;
  for (char& c : shown)
    if (c == '/') c = '\\';
  out << "C:\\" << shown << (in ? ":\n" : ": not there\n");
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out << "  | " << line << "\n";
  }
}

// The registry values the installation sets: the install-mode marker and the tray's volume switch.
void PrintMarkers(sim::Machine& machine, std::ostream& out) {
  auto& store = machine.Get<sim::RegistryStore>();
  const struct {
    const char* key;
    const char* value;
  } markers[] = {
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "OVSetupProfile"},
      {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray", "Services"}};
  for (const auto& marker : markers) {
    out << marker.key << " \"" << marker.value << "\": ";
    auto key = store.FindPath(marker.key);
    sim::RegValue* value = key ? key->FindValue(marker.value) : nullptr;
    if (value == nullptr) {
      out << "not set\n";
      continue;
    }
    for (std::size_t i = 0; i < value->data.size(); ++i) {
      static const char* const kHex = "0123456789ABCDEF";
      out << (i ? " " : "") << kHex[value->data[i] >> 4] << kHex[value->data[i] & 15];
    }
    out << "\n";
  }
}

void RunInstaller(sim::Machine& machine, std::ostream& out) {
  WriteStandInDisk95(machine.DriveRoot() / "J6DISK");
  std::istringstream script(kInstallerUser);
  sim::SimUi user(sim::ParseUiSteps(script));
  user.EchoTo(&out);
  auto process = machine.StartProcess("INSTALLER.EXE", "C:\\J6DISK");
  user.SetFiles(process->Os().files);
  process->Os().ui = &user;
  int status = install95::InstallerMain(process->Os(), "C:\\J6DISK\\INSTALLER.EXE /I");
  process->Os().ui = nullptr;
  if (status != 0) out << "The installer did not start (exit status " << status << ").\n";
  for (const auto& start : machine.Get<sim::ProgramTable>().Started())
    out << "Started: " << start.commandLine << " (exit " << start.exitCode << ")\n";
}

// What the person at the NT PC does: Next, keep "install or update", OK, restart now.
constexpr const char* kSetupUser =
    "@131 click Next >\n"
    "@102 click OK\n"
    "@132 click Finish\n";

// A Windows NT PC gets the driver from the NT disk; after the restart the Control Panel item picks the
// 2 MB General MIDI bank.
int RunNtPart(const fs::path& dir, std::ostream& out) {
  auto machine = sim::Machine::Create(dir, sim::MachineConfig::Defaults(platform::WindowsFamily::kNt));
  sim::AddFreshWindowsKeys(machine->Get<sim::RegistryStore>());
  machine->Save();
  out << "== A Windows NT PC with the J6 Orvantis PCI card\n";
  PrintSummary(*machine, out);

  out << "\n== Setup from the NT disk: C:\\J6DISK\\SETUP.EXE\n";
  std::istringstream script(kSetupUser);
  sim::SimUi user(sim::ParseUiSteps(script));
  user.EchoTo(&out);
  int status = RunSetupNt(*machine, user, "", "", out);
  if (status != 0) {
    out << "Setup ended with exit status " << status << ".\n";
    return status;
  }
  PrintSummary(*machine, out);
  // What the started driver wrote, not what it would write: the applet reads the same value.
  auto device = machine->Get<sim::RegistryStore>().FindPath(
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\j6knldrv\\Parameters\\Device0");
  const sim::RegValue* gmFile = device ? device->FindValue("GmFile") : nullptr;
  if (gmFile && gmFile->data.size() == 4)
    out << "The kernel driver j6knldrv started and tells the banks it can load: \"GmFile\" = "
        << (gmFile->data[0] | gmFile->data[1] << 8 | gmFile->data[2] << 16 |
            std::uint32_t(gmFile->data[3]) << 24)
        << " (1 ROM, 2 = 1 MB, 4 = 2 MB, 8 = 4 MB)\n";
  else
    out << "The kernel driver j6knldrv did not tell its banks: \"GmFile\" is not set\n";

  out << "\n== Control Panel, J6 Audio: the user picks the 2 MB bank and clicks OK\n";
  return RunApplet(*machine, "2mb", false, false, out);
}

}  // namespace

Command& AddDemoCommand(CLI::App& app) {
  auto keep = std::make_shared<std::string>();
  Command& command =
      NewCommand(app, "demo",
                 "Make a simulated Windows 95 PC in a temporary folder, install the package on it "
                 "from its disk in install mode (/I), restart it, and load a DLS collection onto its card; "
                 "then make a Windows NT PC, install the driver with setup from the NT disk, and pick a "
                 "General MIDI bank in the Control Panel applet.");
  command.app->add_option("--keep", *keep,
                          "Make the machines in this folder (win95/ and nt/) and keep them afterwards");
  command.action = [keep](std::ostream& out) {
    fs::path dir = keep->empty()
                       ? fs::temp_directory_path() /
                             ("j6sim-demo-" +
                              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))
                       : fs::path(*keep);
    int status = 0;
    {
      auto machine =
          sim::Machine::Create(dir / "win95", sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
      Furnish(*machine);
      out << "== A Windows 95 PC with the J6 Orvantis PCI card\n";
      PrintSummary(*machine, out);

      out << "\n== The installer in install mode: C:\\J6DISK\\INSTALLER.EXE /I\n";
      RunInstaller(*machine, out);
      machine->Save();

      out << "\n== After the installation\n";
      PrintInstalledFiles(*machine, out);
      PrintTextFile(*machine, "CONFIG.SYS", out);
      PrintTextFile(*machine, "AUTOEXEC.BAT", out);
      PrintTextFile(*machine, "WINDOWS/wininit.ini", out);
      PrintMarkers(*machine, out);
      PrintSummary(*machine, out);

      out << "\n== Restart\n";
      RebootMachine(*machine, out);
      machine->Save();
      PrintInstalledFiles(*machine, out);
      PrintSummary(*machine, out);

      out << "\n== The DLS engine loads a small collection: one melodic instrument and one drum kit\n";
      const auto bytes = sim::dlsw::WriteDls(sim::dlsw::SmallCollection());
      std::ofstream(machine->DriveRoot() / "DEMO.DLS", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      status = LoadDlsCollections(*machine, {{"C:\\DEMO.DLS", "C:\\DEMO.DLS"}}, {}, out);
    }
    if (status == 0) {
      out << "\n";
      status = RunNtPart(dir / "nt", out);
    }
    if (keep->empty()) {
      std::error_code ec;
      fs::remove_all(dir, ec);
    } else {
      out << "The machines stay in " << (dir / "win95").string() << " and " << (dir / "nt").string() << "\n";
    }
    return status;
  };
  return command;
}

}  // namespace j6sim
