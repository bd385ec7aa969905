// Starting programs and waiting for them (CreateProcessA, WaitForSingleObject), and the restart of
// Windows (ExitWindowsEx with the shutdown privilege on NT).
#pragma once

#include <cstdint>

namespace platform {

using ProcessHandle = std::uintptr_t;
constexpr ProcessHandle kNoProcess = 0;

class Processes {
 public:
  virtual ~Processes() = default;

  // CreateProcessA with no application name, the given command line, creation flags, and the parent's
  // environment and current directory. kNoProcess on failure; the reason is the file system's last error.
  virtual ProcessHandle Start(const char* commandLine, std::uint32_t creationFlags) = 0;
  // Waits without time-out until the process ends.
  virtual void Wait(ProcessHandle process) = 0;
  virtual void CloseHandle(ProcessHandle process) = 0;

  // OpenProcessToken / LookupPrivilegeValue / AdjustTokenPrivileges for SeShutdownPrivilege.
  virtual bool EnableShutdownPrivilege() = 0;
  // ExitWindowsEx.
  virtual bool ExitWindows(std::uint32_t flags) = 0;

  // DisableThreadLibraryCalls: `module` gets no more thread attach and detach notifications. A backend that
  // sends none may keep this answer.
  virtual bool DisableThreadLibraryCalls(std::uintptr_t module) {
    (void)module;
    return true;
  }
};

constexpr std::uint32_t kEwxReboot = 0x02;
constexpr std::uint32_t kCreateNewConsole = 0x10;
constexpr std::uint32_t kNormalPriorityClass = 0x20;

}  // namespace platform
