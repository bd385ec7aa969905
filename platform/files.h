// Files and folders, in the shape of the ANSI Win32 file calls. Failing calls return false (or the
// invalid value) and leave the reason in LastError().
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace platform {

using FileHandle = std::uintptr_t;
constexpr FileHandle kInvalidFileHandle = ~FileHandle{0};
using FindHandle = std::uintptr_t;
constexpr FindHandle kInvalidFindHandle = ~FindHandle{0};

struct FindData {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  char name[kMaxPath] = {};
};

enum class OpenMode {
  kRead,           // existing file, read only
  kCreateAlways,   // new or truncated file, write
  kCreateNew,      // new file only, write
  kOpenReadWrite,  // existing file, read and write
};

enum class SeekFrom { kBegin, kCurrent, kEnd };

// MoveFileExA flags.
enum : std::uint32_t {
  kMoveFileReplaceExisting = 0x1,
  kMoveFileCopyAllowed = 0x2,
  kMoveFileDelayUntilReboot = 0x4,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual std::uint32_t LastError() const = 0;
  virtual void SetLastError(std::uint32_t code) = 0;

  // The Windows, system and current directories, as GetWindowsDirectoryA and friends: the length
  // written without the NUL, the needed size when the buffer is short, 0 on failure.
  virtual std::uint32_t GetWindowsDirectory(char* buffer, std::uint32_t size) = 0;
  virtual std::uint32_t GetSystemDirectory(char* buffer, std::uint32_t size) = 0;
  virtual std::uint32_t GetCurrentDirectory(std::uint32_t size, char* buffer) = 0;
  virtual bool SetCurrentDirectory(const char* path) = 0;

  virtual std::uint32_t GetFileAttributes(const char* path) = 0;
  virtual bool SetFileAttributes(const char* path, std::uint32_t attributes) = 0;
  virtual bool CreateDirectory(const char* path) = 0;
  virtual bool RemoveDirectory(const char* path) = 0;
  virtual bool CopyFile(const char* source, const char* target, bool failIfExists) = 0;
  virtual bool DeleteFile(const char* path) = 0;
  // MoveFileA: rename within the drive; the target must not exist.
  virtual bool MoveFile(const char* source, const char* target) = 0;
  // MoveFileExA. With kMoveFileDelayUntilReboot (NT only) nothing moves now: the pair is added to the
  // pending operations the next restart carries out; a null target then deletes the source at restart.
  virtual bool MoveFileEx(const char* source, const char* target, std::uint32_t flags) = 0;

  // FindFirstFileA / FindNextFileA / FindClose with `*` and `?` patterns, case-insensitive.
  virtual FindHandle FindFirstFile(const char* pattern, FindData* data) = 0;
  virtual bool FindNextFile(FindHandle find, FindData* data) = 0;
  virtual void FindClose(FindHandle find) = 0;

  // GetTempFileNameA: `dir`\ + first three prefix letters + hex number + ".TMP"; with unique 0 the
  // file is created empty. Returns the number used, 0 on failure.
  virtual std::uint32_t GetTempFileName(const char* dir, const char* prefix, std::uint32_t unique,
                                        char* out) = 0;

  // GetDiskFreeSpaceA (Windows 95 caps the answer at 2 GB) and GetDiskFreeSpaceExA.
  virtual bool GetDiskFreeSpace(const char* root, std::uint32_t* sectorsPerCluster,
                                std::uint32_t* bytesPerSector, std::uint32_t* freeClusters,
                                std::uint32_t* totalClusters) = 0;
  virtual bool GetDiskFreeSpaceEx(const char* dir, std::uint64_t* freeToCaller, std::uint64_t* total,
                                  std::uint64_t* totalFree) = 0;

  // Byte access to a file's contents.
  virtual FileHandle OpenFile(const char* path, OpenMode mode) = 0;
  virtual bool ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) = 0;
  virtual bool WriteFile(FileHandle file, const void* buffer, std::uint32_t size, std::uint32_t* written) = 0;
  virtual std::int64_t SeekFile(FileHandle file, std::int64_t offset, SeekFrom from) = 0;
  virtual std::uint64_t GetFileSize(FileHandle file) = 0;
  virtual bool CloseFile(FileHandle file) = 0;
};

}  // namespace platform
