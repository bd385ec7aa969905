// The subcommands of j6sim. Each Add* registers one subcommand with its options and its action.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>

namespace sim {
class Machine;
class SimUi;
}  // namespace sim

namespace j6sim {

// A subcommand's action writes to `out` and returns the exit status.
using Action = std::function<int(std::ostream& out)>;

// What a registering function fills in: the action runs when the subcommand was given.
struct Command {
  CLI::App* app = nullptr;
  Action action;
};

// Registers a subcommand of `parent`; the caller sets the action.
Command& NewCommand(CLI::App& parent, const std::string& name, const std::string& description);

Command& AddNewCommand(CLI::App& app);
Command& AddShowCommand(CLI::App& app);
Command& AddRebootCommand(CLI::App& app);
Command& AddDemoCommand(CLI::App& app);
Command& AddCardCommand(CLI::App& app);
Command& AddAppletCommand(CLI::App& app);
Command& AddInstall95Command(CLI::App& app);
Command& AddSetupNtCommand(CLI::App& app);

// Puts `disk` (empty: the NT disk of this build) on drive C as C:\J6DISK, runs setup from it with `user`,
// and carries out the restart it asks for; returns setup's exit status.
int RunSetupNt(sim::Machine& machine, sim::SimUi& user, const std::string& disk, const std::string& args,
               std::ostream& out);

// Opens the J6 Audio item of the Control Panel on an NT machine where setup installed the applet. The
// user picks `pick` (rom, 1mb, 2mb, 4mb or empty) and clicks OK, or Cancel; or is asked at the terminal.
int RunApplet(sim::Machine& machine, const std::string& pick, bool cancel, bool interactive,
              std::ostream& out);

// The scripted user's step for an --answer QUESTION=yes|no: "answer yes if QUESTION", where QUESTION is
// text of the message box or one of the short names in `aliases`. A malformed answer is a MachineError.
std::string AnswerStep(const std::string& answer, const std::map<std::string, std::string>& aliases);

// Writes the Windows 95 installation disk j6sim install95 uses without --disk (see disk95/disk95.h).
void WriteStandInDisk95(const std::filesystem::path& dir);
Command& AddGmBanksCommand(CLI::App& app);
Command& AddDlsCommand(CLI::App& app);

// Runs j6sim with the given arguments (argv[0] included), writing to out and err; returns the exit
// status: 0 success, 1 the action failed, 2 a bad command line or an unreadable machine folder.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace j6sim
