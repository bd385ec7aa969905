#include <string>

#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

ProcessHandle Win32Processes::Start(const char* commandLine, std::uint32_t creationFlags) {
  // CreateProcessA may write into the command line, so it gets a copy.
  std::string line = commandLine ? commandLine : "";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr,
                      &startup, &info))
    return kNoProcess;
  ::CloseHandle(info.hThread);
  return reinterpret_cast<ProcessHandle>(info.hProcess);
}

void Win32Processes::Wait(ProcessHandle process) {
  WaitForSingleObject(reinterpret_cast<HANDLE>(process), INFINITE);
}

void Win32Processes::CloseHandle(ProcessHandle process) {
  ::CloseHandle(reinterpret_cast<HANDLE>(process));
}

bool Win32Processes::EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  // AdjustTokenPrivileges succeeds even when it could not grant the privilege.
  if (ok && GetLastError() == ERROR_NOT_ALL_ASSIGNED) ok = false;
  ::CloseHandle(token);
  return ok;
}

bool Win32Processes::ExitWindows(std::uint32_t flags) {
  return ExitWindowsEx(flags, 0);
}

}  // namespace platform::win32
