// A file system where every call fails: test doubles derive from it and answer only what the code under
// test uses, so a method added to the interface needs adding here alone.
#pragma once

#include "platform/files.h"

namespace j6_testing {

class NullFiles : public platform::FileSystem {
 public:
  std::uint32_t LastError() const override { return 0; }
  void SetLastError(std::uint32_t) override {}
  std::uint32_t GetWindowsDirectory(char*, std::uint32_t) override { return 0; }
  std::uint32_t GetSystemDirectory(char*, std::uint32_t) override { return 0; }
  std::uint32_t GetCurrentDirectory(std::uint32_t, char*) override { return 0; }
  bool SetCurrentDirectory(const char*) override { return false; }
  std::uint32_t GetFileAttributes(const char*) override { return platform::kInvalidFileAttributes; }
  bool SetFileAttributes(const char*, std::uint32_t) override { return false; }
  bool CreateDirectory(const char*) override { return false; }
  bool RemoveDirectory(const char*) override { return false; }
  bool CopyFile(const char*, const char*, bool) override { return false; }
  bool DeleteFile(const char*) override { return false; }
  bool MoveFile(const char*, const char*) override { return false; }
  bool MoveFileEx(const char*, const char*, std::uint32_t) override { return false; }
  platform::FindHandle FindFirstFile(const char*, platform::FindData*) override {
    return platform::kInvalidFindHandle;
  }
  bool FindNextFile(platform::FindHandle, platform::FindData*) override { return false; }
  void FindClose(platform::FindHandle) override {}
  std::uint32_t GetTempFileName(const char*, const char*, std::uint32_t, char*) override { return 0; }
  bool GetDiskFreeSpace(const char*, std::uint32_t*, std::uint32_t*, std::uint32_t*,
                        std::uint32_t*) override {
    return false;
  }
  bool GetDiskFreeSpaceEx(const char*, std::uint64_t*, std::uint64_t*, std::uint64_t*) override {
    return false;
  }
  platform::FileHandle OpenFile(const char*, platform::OpenMode) override {
    return platform::kInvalidFileHandle;
  }
  bool ReadFile(platform::FileHandle, void*, std::uint32_t, std::uint32_t*) override { return false; }
  bool WriteFile(platform::FileHandle, const void*, std::uint32_t, std::uint32_t*) override { return false; }
  std::int64_t SeekFile(platform::FileHandle, std::int64_t, platform::SeekFrom) override { return -1; }
  std::uint64_t GetFileSize(platform::FileHandle) override { return 0; }
  bool CloseFile(platform::FileHandle) override { return false; }
};

}  // namespace j6_testing
