// j6sim install95: runs the Windows 95 installer on a simulated PC with a scripted or interactive user.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "disk95/disk95.h"
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
  for (const auto& answer : o.answers)
    add(AnswerStep(answer, {{"newer-driver", "Newer driver detected"}, {"dls", "Downloadable Sounds"}}));
  if (!o.reboot.empty()) add(std::string("@141 click ") + (o.reboot == "yes" ? "1015" : "1016"));
  add("@141,150 click Finish");
  add("@140 click Finish");
  add("@149 click OK");
  return steps;
}

}  // namespace

void WriteStandInDisk95(const fs::path& dir) {
  try {
    disk95::WriteWindows95Disk(dir);
  } catch (const std::runtime_error& e) {
    throw sim::MachineError(e.what());
  }
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
  sub->add_option("--disk", o->disk,
                  "Installation disk folder (default: the package's Windows 95 disk, with marked stand-ins "
                  "for the outside files)");
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
