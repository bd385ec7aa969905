// Starting programs on the simulated PC. Programs are looked up by the file name of the command line's
// first word (case-insensitive, ".EXE" assumed when it has no extension) in the machine's program table;
// each runs as its own sim::Process, at once and to its end, inside Start. Every start and every restart
// request is kept in a log.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace sim {

class Machine;
class Process;

class ProgramTable {
 public:
  // A program's body: gets its process and its whole command line, returns its exit code.
  using Program = std::function<std::uint32_t(Process& process, const std::string& commandLine)>;

  // Knows the stand-ins every machine has: RunDll32.EXE, which ends at once.
  explicit ProgramTable(Machine& machine);

  void Register(const std::string& fileName, Program program);
  const Program* Find(const std::string& fileName) const;

  struct Start {
    std::string commandLine;
    std::uint32_t creationFlags = 0;
    std::uint32_t exitCode = 0;
  };
  const std::vector<Start>& Started() const { return started_; }
  void RecordStart(Start start) { started_.push_back(std::move(start)); }

  // ExitWindowsEx requests since the machine was loaded.
  const std::vector<std::uint32_t>& RestartRequests() const { return restarts_; }
  void RecordRestart(std::uint32_t flags) { restarts_.push_back(flags); }

 private:
  std::map<std::string, Program> programs_;  // by lower-case file name
  std::vector<Start> started_;
  std::vector<std::uint32_t> restarts_;
};

// The program file name a command line starts: its first word (or quoted part), without the folder.
std::string ProgramFileName(const std::string& commandLine);

class SimProcesses : public platform::Processes {
 public:
  explicit SimProcesses(Process& parent) : parent_(parent) {}

  platform::ProcessHandle Start(const char* commandLine, std::uint32_t creationFlags) override;
  void Wait(platform::ProcessHandle process) override;
  void CloseHandle(platform::ProcessHandle process) override;
  bool EnableShutdownPrivilege() override { return true; }
  bool ExitWindows(std::uint32_t flags) override;

 private:
  Process& parent_;
  std::map<platform::ProcessHandle, std::uint32_t> children_;  // handle -> exit code
  platform::ProcessHandle nextHandle_ = 0x100;
};

}  // namespace sim
