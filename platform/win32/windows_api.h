// The Windows headers for the backend's own sources, with the A/W name macros that collide with our
// interface methods (CopyFile, DeleteFile, MessageBox, ...) removed. The backend always calls the
// explicit ...A or ...W function.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the others rely on its types.
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <setupapi.h>
#include <winver.h>

#include <cstdint>

#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef FindFirstFile
#undef FindNextFile
#undef GetCurrentDirectory
#undef GetDiskFreeSpace
#undef GetDiskFreeSpaceEx
#undef GetFileAttributes
#undef GetSystemDirectory
#undef GetTempFileName
#undef GetWindowsDirectory
#undef MessageBox
#undef MoveFile
#undef RemoveDirectory
#undef SetCurrentDirectory
#undef SetFileAttributes
#undef OpenFile
#undef Yield
#undef ExitWindows

namespace platform::win32 {

// DWORD is unsigned long on Windows and uint32_t unsigned int: an in/out word for calls that take a
// DWORD pointer, written back on destruction. Null stays null.
class DwordRef {
 public:
  explicit DwordRef(std::uint32_t* target) : target_(target), value_(target ? *target : 0) {}
  ~DwordRef() {
    if (target_) *target_ = static_cast<std::uint32_t>(value_);
  }
  DwordRef(const DwordRef&) = delete;
  DwordRef& operator=(const DwordRef&) = delete;
  DWORD* get() { return target_ ? &value_ : nullptr; }

 private:
  std::uint32_t* target_;
  DWORD value_;
};

}  // namespace platform::win32
