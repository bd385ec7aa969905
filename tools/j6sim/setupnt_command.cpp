// j6sim setupnt: runs the Windows NT setup program on a simulated PC with a scripted or interactive user.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "setupnt/setup_app.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/ui.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/summary.h"
#include "tools/ntdisk/nt_disk.h"

namespace j6sim {

namespace fs = std::filesystem;

namespace {

// Where the installation disk appears on the machine: setup runs with it as current directory.
constexpr const char* kDiskFolder = "J6DISK";

struct Options {
  std::string dir;
  std::string disk;
  std::string args;
  std::string choose;
  std::vector<std::string> answers;
  std::string reboot;
  std::string script;
  std::string transcript;
  bool interactive = false;
};

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
  add("@131 click Next >");
  if (o.choose == "install") add("@102 check 1001");
  if (o.choose == "remove") add("@102 check 1002");
  add("@102 click OK");
  for (const auto& answer : o.answers)
    add(AnswerStep(answer, {{"up-to-date", "Up-to-date driver detected"}}));
  if (!o.reboot.empty()) add(std::string("@132 check ") + (o.reboot == "yes" ? "1015" : "1002"));
  add("@132 click Finish");
  add("@135 click Finish");
  add("@133 click OK");
  return steps;
}

}  // namespace

// Puts the disk on drive C, runs setup there with `user` and carries out a restart it asks for.
int RunSetupNt(sim::Machine& machine, sim::SimUi& user, const std::string& disk, const std::string& args,
               std::ostream& out) {
  fs::path target = machine.DriveRoot() / kDiskFolder;
  fs::remove_all(target);
  try {
    if (disk.empty())
      ntdisk::WriteNtDisk(target);
    else
      fs::copy(disk, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  } catch (const std::exception& e) {
    throw sim::MachineError(std::string("cannot put the disk on drive C: ") + e.what());
  }
  int status = 0;
  {
    auto process = machine.StartProcess("SETUP.EXE", std::string("C:\\") + kDiskFolder);
    user.SetFiles(process->Os().files);
    process->Os().ui = &user;
    std::string line = std::string("C:\\") + kDiskFolder + "\\SETUP.EXE" + (args.empty() ? "" : " " + args);
    try {
      status = setupnt::SetupMain(process->Os(), line.c_str());
    } catch (const sim::UiError& e) {
      std::cerr << "j6sim: setupnt: " << e.what() << "\n";
      status = 1;
    }
    process->Os().ui = nullptr;
  }
  for (const auto& start : machine.Get<sim::ProgramTable>().Started())
    out << "Started: " << start.commandLine << " (exit " << start.exitCode << ")\n";
  if (status == 0 && !machine.Get<sim::ProgramTable>().RestartRequests().empty()) {
    out << "Setup restarts Windows.\n";
    machine.Save();
    RebootMachine(machine, out);
  }
  machine.Save();
  return status;
}

Command& AddSetupNtCommand(CLI::App& app) {
  auto o = std::make_shared<Options>();
  Command& command = NewCommand(app, "setupnt", "Run the Windows NT setup program on a simulated PC.");
  CLI::App* sub = command.app;
  sub->footer(
      "The disk is copied to C:\\J6DISK (replacing what was there; the copy does not count against the free "
      "space, but its files count as the space the installation needs) and setup runs with it as current "
      "directory. Without --disk the J6 Orvantis NT disk the build assembles is used. A scripted user clicks "
      "Next, picks install/update or removal by --choose (default: the page's choice, install/update), "
      "clicks "
      "OK, answers the up-to-date question by --answer up-to-date=yes|no (or any text of a message box), "
      "picks the restart by --reboot (default: the page's choice, restart now) and clicks Finish. A page the "
      "options do not answer stops the run with exit status 1. A requested restart is carried out.");
  sub->add_option("DIR", o->dir, "Machine folder (a Windows NT machine)")->required();
  sub->add_option("--disk", o->disk, "Installation disk folder (default: the NT disk of this build)");
  sub->add_option("--args", o->args, "Arguments of setup's command line, e.g. \"/I\"");
  sub->add_option("--choose", o->choose, "install (install or update) or remove")
      ->check(CLI::IsMember({"install", "remove"}));
  sub->add_option("--answer", o->answers, "QUESTION=yes|no for a message box (up-to-date, or its text)");
  sub->add_option("--reboot", o->reboot, "Answer of the closing page's restart question")
      ->check(CLI::IsMember({"yes", "no"}));
  sub->add_option("--script", o->script, "File of user steps, one a line, taken before the options' steps");
  sub->add_flag("--interactive", o->interactive, "Show each page on the terminal and ask (stdin)");
  sub->add_option("--transcript", o->transcript,
                  "Write the transcript of every page, message box and progress window to this file");
  command.action = [o](std::ostream& out) -> int {
    auto steps = BuildSteps(*o);
    auto machine = sim::Machine::Load(o->dir);
    if (!machine->IsNt()) throw sim::MachineError(o->dir + ": setupnt needs a Windows NT machine");
    if (!o->disk.empty() && !fs::is_directory(o->disk))
      throw sim::MachineError("--disk " + o->disk + ": not a folder");

    std::unique_ptr<sim::SimUi> ui;
    if (o->interactive) {
      ui = std::make_unique<sim::SimUi>(std::cin, out);
    } else {
      ui = std::make_unique<sim::SimUi>(steps);
      ui->EchoTo(&out);
    }
    const int status = RunSetupNt(*machine, *ui, o->disk, o->args, out);
    if (!o->transcript.empty()) {
      std::ofstream file(o->transcript);
      for (const auto& l : ui->Transcript()) file << l << "\n";
      if (!file) std::cerr << "j6sim: cannot write the transcript " << o->transcript << "\n";
    }
    return status;
  };
  return command;
}

}  // namespace j6sim
