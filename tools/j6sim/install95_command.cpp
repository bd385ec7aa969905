// j6sim install95: runs the Windows 95 installer on a simulated PC with a scripted or interactive user.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "install95/installer_app.h"
#include "sim/machine.h"
#include "sim/pe_writer.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/ui.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/summary.h"

namespace j6sim {

namespace fs = std::filesystem;

namespace {

// Where the installation disk appears on the machine: the installer runs with it as current directory.
constexpr const char* kDiskFolder = "J6DISK";

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
  if (!file) throw sim::MachineError("cannot write " + path.string());
}

// A 2 by 2 pixel, 24-bit bitmap: enough for the logo panel.
std::string LogoBitmap() {
  std::vector<std::uint8_t> b = {'B', 'M', 70,   0,    0, 0, 0,    0,    0, 0, 54, 0, 0, 0, 40, 0, 0,  0,
                                 2,   0,   0,    0,    2, 0, 0,    0,    1, 0, 24, 0, 0, 0, 0,  0, 16, 0,
                                 0,   0,   0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0,  0, 0, 0, 0,  0, 0,  0};
  const std::uint8_t row[8] = {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0};
  for (int y = 0; y < 2; ++y) b.insert(b.end(), row, row + 8);
  return std::string(b.begin(), b.end());
}

struct Options {
  std::string dir;
  std::string disk;
  std::string args;
  std::vector<std::string> choose;
  std::vector<std::string> answers;
  std::string reboot;
  std::string script;
  std::string transcript;
  bool interactive = false;
};

const char* const kChoicePages = "@102,145,146,147,148,151 ";

// The scripted user the options describe. Steps of a script file come first, so they win.
std::vector<sim::UiStep> BuildSteps(const Options& o) {
  std::vector<sim::UiStep> steps;
  if (!o.script.empty()) {
    std::ifstream file(o.script);
    if (!file) throw sim::MachineError("cannot read the script " + o.script);
    try {
      steps = sim::ParseUiSteps(file);
    } catch (const sim::UiError& e) {
      throw sim::MachineError(o.script + ": " + e.what());
    }
  }
  auto add = [&](const std::string& line) { steps.push_back(sim::ParseUiStep(line)); };
  add("@130 click Next -->");
  if (!o.choose.empty()) {
    static const std::pair<const char*, const char*> kBoxes[] = {{"install-windows", "1009"},
                                                                 {"remove-windows", "1008"},
                                                                 {"install-dos", "1011"},
                                                                 {"remove-dos", "1010"}};
    std::set<std::string> wanted;
    for (const auto& name : o.choose)
      if (name != "none") wanted.insert(name);
    if (wanted.count("install-windows") && wanted.count("remove-windows"))
      throw sim::MachineError("--choose: install-windows and remove-windows exclude each other");
    if (wanted.count("install-dos") && wanted.count("remove-dos"))
      throw sim::MachineError("--choose: install-dos and remove-dos exclude each other");
    // Clear what is not wanted first: ticking one of a pair clears the other anyway.
    for (const auto& [name, id] : kBoxes)
      if (!wanted.count(name)) add(std::string(kChoicePages) + "uncheck " + id);
    for (const auto& [name, id] : kBoxes)
      if (wanted.count(name)) add(std::string(kChoicePages) + "check " + id);
  }
  add(std::string(kChoicePages) + "click OK");
  for (const auto& answer : o.answers) {
    auto eq = answer.find('=');
    std::string question = answer.substr(0, eq);
    std::string reply = eq == std::string::npos ? "" : answer.substr(eq + 1);
    if (question.empty() || (reply != "yes" && reply != "no"))
      throw sim::MachineError("--answer takes QUESTION=yes or QUESTION=no, not '" + answer + "'");
    if (question == "newer-driver") question = "Newer driver detected";
    if (question == "dls") question = "Downloadable Sounds";
    add("answer " + reply + " if " + question);
  }
  if (!o.reboot.empty()) add(std::string("@141 click ") + (o.reboot == "yes" ? "1015" : "1016"));
  add("@141,150 click Finish");
  add("@140 click Finish");
  add("@149 click OK");
  return steps;
}

}  // namespace

void WriteStandInDisk95(const fs::path& dir) {
  fs::create_directories(dir);
  WriteFile(dir / "logo.bmp", LogoBitmap());
  WriteFile(
      dir / "J6AUDIO.INF",
      "; Stand-in installation file of the simulated disk.\r\n[Version]\r\nSignature=\"$CHICAGO$\"\r\n"
      "\r\n[Manufacturer]\r\n%String1%=J6AUDIO\r\n\r\n[SourceDisksFiles]\r\nJ6AUDIO.INF=1\r\nJ6CVXD.VXD=1\r\n"
      "\r\n[Strings]\r\nString1=\"J6AUDIO\"\r\n");
  auto vxd = sim::MakeVersionedPe("1.00.10");
  WriteFile(dir / "J6CVXD.VXD", std::string(vxd.begin(), vxd.end()));
}

Command& AddInstall95Command(CLI::App& app) {
  auto o = std::make_shared<Options>();
  Command& command = NewCommand(app, "install95", "Run the Windows 95 installer on a simulated PC.");
  CLI::App* sub = command.app;
  sub->footer(
      "The disk is copied to C:\\J6DISK (replacing what was there; it does not count against the free space) "
      "and "
      "the installer runs with it as current directory. A scripted user clicks Next, sets the option boxes "
      "named by --choose (the others are cleared; without --choose the page's defaults stay), clicks OK, "
      "answers "
      "the questions named by --answer (newer-driver, dls, or any text of the message box), picks the "
      "restart "
      "by --reboot and clicks Finish. A click no person could make (a hidden or disabled control) stops the "
      "run "
      "with exit status 1. A requested restart is carried out.");
  sub->add_option("DIR", o->dir, "Machine folder (a Windows 95 machine)")->required();
  sub->add_option("--disk", o->disk, "Installation disk folder (default: a minimal stand-in disk)");
  sub->add_option("--args", o->args, "Arguments of the installer's command line, e.g. \"/I\"");
  sub->add_option("--choose", o->choose,
                  "Option boxes to tick: install-windows, remove-windows, install-dos, "
                  "remove-dos, or none")
      ->delimiter(',')
      ->check(CLI::IsMember({"install-windows", "remove-windows", "install-dos", "remove-dos", "none"}));
  sub->add_option("--answer", o->answers,
                  "QUESTION=yes|no for a message box (newer-driver, dls, or its text)");
  sub->add_option("--reboot", o->reboot, "Answer of the finish page's restart question")
      ->check(CLI::IsMember({"yes", "no"}));
  sub->add_option("--script", o->script, "File of user steps, one a line, taken before the options' steps");
  auto* interactive = sub->add_flag("--interactive", o->interactive,
                                    "Show each page on the terminal and ask (stdin); excludes the scripted "
                                    "user's options");
  sub->add_option("--transcript", o->transcript,
                  "Write the transcript of every page, message box and progress "
                  "window to this file");
  for (const char* scripted : {"--choose", "--answer", "--reboot", "--script"})
    interactive->excludes(sub->get_option(scripted));
  command.action = [o](std::ostream& out) -> int {
    auto steps = BuildSteps(*o);
    auto machine = sim::Machine::Load(o->dir);
    if (machine->IsNt()) throw sim::MachineError(o->dir + ": install95 needs a Windows 95 machine");

    fs::path target = machine->DriveRoot() / kDiskFolder;
    fs::remove_all(target);
    if (o->disk.empty()) {
      WriteStandInDisk95(target);
    } else {
      if (!fs::is_directory(o->disk)) throw sim::MachineError("--disk " + o->disk + ": not a folder");
      fs::copy(o->disk, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }

    std::unique_ptr<sim::SimUi> ui;
    if (o->interactive)
      ui = std::make_unique<sim::SimUi>(std::cin, out);
    else {
      ui = std::make_unique<sim::SimUi>(steps);
      ui->EchoTo(&out);
    }
    int status = 0;
    {
      auto process = machine->StartProcess("INSTALLER.EXE", std::string("C:\\") + kDiskFolder);
      ui->SetFiles(process->Os().files);
      process->Os().ui = ui.get();
      std::string line =
          std::string("C:\\") + kDiskFolder + "\\INSTALLER.EXE" + (o->args.empty() ? "" : " " + o->args);
      try {
        status = install95::InstallerMain(process->Os(), line.c_str());
        if (status != 0) out << "The installer did not start (exit status " << status << ").\n";
      } catch (const sim::UiError& e) {
        std::cerr << "j6sim: install95: " << e.what() << "\n";
        status = 1;
      }
    }
    if (!o->transcript.empty()) {
      std::ofstream file(o->transcript);
      for (const auto& l : ui->Transcript()) file << l << "\n";
      if (!file) std::cerr << "j6sim: cannot write the transcript " << o->transcript << "\n";
    }
    for (const auto& start : machine->Get<sim::ProgramTable>().Started())
      out << "Started: " << start.commandLine << " (exit " << start.exitCode << ")\n";
    if (!machine->Get<sim::ProgramTable>().RestartRequests().empty()) {
      out << "The installer restarts Windows.\n";
      machine->Save();
      RebootMachine(*machine, out);
    }
    machine->Save();
    return status;
  };
  return command;
}

}  // namespace j6sim
