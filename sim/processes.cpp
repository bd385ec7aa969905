#include "sim/processes.h"

#include <cctype>

#include "platform/win_types.h"
#include "sim/faults.h"
#include "sim/machine.h"
#include "sim/process.h"

namespace sim {

namespace {
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

ProgramTable::ProgramTable(Machine&) {
  Register("rundll32.exe", [](Process&, const std::string&) -> std::uint32_t { return 0; });
}

void ProgramTable::Register(const std::string& fileName, Program program) {
  programs_[Lower(fileName)] = std::move(program);
}

const ProgramTable::Program* ProgramTable::Find(const std::string& fileName) const {
  auto it = programs_.find(Lower(fileName));
  return it == programs_.end() ? nullptr : &it->second;
}

std::string ProgramFileName(const std::string& commandLine) {
  std::size_t begin = commandLine.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  std::string path;
  if (commandLine[begin] == '"') {
    auto end = commandLine.find('"', begin + 1);
    path = commandLine.substr(begin + 1, end == std::string::npos ? std::string::npos : end - begin - 1);
  } else {
    auto end = commandLine.find(' ', begin);
    path = commandLine.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  }
  auto slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!name.empty() && name.find('.') == std::string::npos) name += ".EXE";
  return name;
}

platform::ProcessHandle SimProcesses::Start(const char* commandLine, std::uint32_t creationFlags) {
  Machine& machine = parent_.GetMachine();
  std::string line = commandLine ? commandLine : "";
  auto& table = machine.Get<ProgramTable>();
  const ProgramTable::Program* program = table.Find(ProgramFileName(line));
  if (program && machine.GetFaults().ShouldFail(fault::kProcessStart)) {
    parent_.LastError() = platform::kErrorAccessDenied;
    return platform::kNoProcess;
  }
  if (!program) {
    parent_.LastError() = platform::kErrorFileNotFound;
    return platform::kNoProcess;
  }
  auto child = machine.StartProcess(ProgramFileName(line), parent_.CurrentDirectory());
  std::uint32_t exitCode = (*program)(*child, line);
  table.RecordStart({line, creationFlags, exitCode});
  platform::ProcessHandle handle = nextHandle_++;
  children_[handle] = exitCode;
  return handle;
}

void SimProcesses::Wait(platform::ProcessHandle) {
  // The child ran to its end inside Start.
}

void SimProcesses::CloseHandle(platform::ProcessHandle process) {
  children_.erase(process);
}

bool SimProcesses::ExitWindows(std::uint32_t flags) {
  parent_.GetMachine().Get<ProgramTable>().RecordRestart(flags);
  return true;
}

}  // namespace sim
