// Files held in memory, for the microcode loader: only opening for reading, reading and closing work.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/files.h"

namespace haltest {

class MemoryFiles : public platform::FileSystem {
 public:
  std::map<std::string, std::string> files;
  int openCount = 0;

  std::uint32_t LastError() const override { return 0; }
  void SetLastError(std::uint32_t) override {}
  std::uint32_t GetWindowsDirectory(char*, std::uint32_t) override { return 0; }
  std::uint32_t GetSystemDirectory(char*, std::uint32_t) override { return 0; }
  std::uint32_t GetCurrentDirectory(std::uint32_t, char*) override { return 0; }
  bool SetCurrentDirectory(const char*) override { return false; }
  std::uint32_t GetFileAttributes(const char*) override { return 0xFFFFFFFF; }
  bool SetFileAttributes(const char*, std::uint32_t) override { return false; }
  bool CreateDirectory(const char*) override { return false; }
  bool RemoveDirectory(const char*) override { return false; }
  bool CopyFile(const char*, const char*, bool) override { return false; }
  bool DeleteFile(const char*) override { return false; }
  bool MoveFile(const char*, const char*) override { return false; }
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

  platform::FileHandle OpenFile(const char* path, platform::OpenMode mode) override {
    if (mode != platform::OpenMode::kRead || !files.count(path)) return platform::kInvalidFileHandle;
    ++openCount;
    open_[++next_] = Open{files[path], 0};
    return next_;
  }
  bool ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    auto it = open_.find(file);
    if (it == open_.end()) return false;
    // Small pieces, so lines run across the reader's refills.
    const std::size_t n = std::min<std::size_t>({size, 7, it->second.text.size() - it->second.at});
    std::memcpy(buffer, it->second.text.data() + it->second.at, n);
    it->second.at += n;
    *read = std::uint32_t(n);
    return true;
  }
  bool WriteFile(platform::FileHandle, const void*, std::uint32_t, std::uint32_t*) override { return false; }
  std::int64_t SeekFile(platform::FileHandle, std::int64_t, platform::SeekFrom) override { return -1; }
  std::uint64_t GetFileSize(platform::FileHandle) override { return 0; }
  bool CloseFile(platform::FileHandle file) override { return open_.erase(file) == 1; }
  std::size_t OpenFiles() const { return open_.size(); }

 private:
  struct Open {
    std::string text;
    std::size_t at = 0;
  };
  std::map<platform::FileHandle, Open> open_;
  platform::FileHandle next_ = 0;
};

}  // namespace haltest
