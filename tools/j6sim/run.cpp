#include <deque>
#include <ostream>

#include "sim/machine_error.h"
#include "tools/j6sim/commands.h"

namespace j6sim {

namespace {
std::deque<Command>& Registry() {
  static std::deque<Command> commands;
  return commands;
}
}  // namespace

Command& NewCommand(CLI::App& parent, const std::string& name, const std::string& description) {
  Registry().push_back(Command{parent.add_subcommand(name, description), nullptr});
  return Registry().back();
}

std::string AnswerStep(const std::string& answer, const std::map<std::string, std::string>& aliases) {
  auto eq = answer.find('=');
  std::string question = answer.substr(0, eq);
  std::string reply = eq == std::string::npos ? "" : answer.substr(eq + 1);
  if (question.empty() || (reply != "yes" && reply != "no"))
    throw sim::MachineError("--answer takes QUESTION=yes or QUESTION=no, not '" + answer + "'");
  if (auto alias = aliases.find(question); alias != aliases.end()) question = alias->second;
  return "answer " + reply + " if " + question;
}

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  Registry().clear();
  CLI::App app{"j6sim: makes and inspects simulated PCs and runs the J6 Orvantis driver package on them.",
               "j6sim"};
  app.require_subcommand(1);
  AddNewCommand(app);
  AddShowCommand(app);
  AddRebootCommand(app);
  AddDemoCommand(app);
  AddCardCommand(app);
  AddAppletCommand(app);
  AddInstall95Command(app);
  AddGmBanksCommand(app);
  AddSetupNtCommand(app);
  AddDlsCommand(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::ParseError& e) {
    // A subcommand's own --help ends up here too.
    if (e.get_name() == "CallForHelp") {
      for (const auto& command : Registry())
        if (command.app->parsed()) {
          out << command.app->help();
          return 0;
        }
      out << app.help();
      return 0;
    }
    err << "j6sim: " << e.what() << " (see 'j6sim --help')\n";
    return 2;
  }
  for (const auto& command : Registry()) {
    if (!command.app->parsed() || !command.action) continue;
    try {
      return command.action(out);
    } catch (const sim::MachineError& e) {
      err << "j6sim: " << e.what() << "\n";
      return 2;
    }
  }
  err << "j6sim: no command given (see 'j6sim --help')\n";
  return 2;
}

}  // namespace j6sim
