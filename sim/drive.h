// Drive C of a simulated PC: the machine folder's C/ with Windows path rules on top.
//
// Drive is the machine-wide part: path lookup without regard to letter case (as on FAT), the file
// attributes and the files marked in use (both kept in attributes.json beside machine.json), the
// handles open on each file, and the free space (machine.json "freeBytes", which shrinks and grows as
// files change). ProcessFiles is one program's platform::FileSystem over it, with the program's
// current directory and last error.
//
// A Windows path never leaves the drive folder: another drive letter, a UNC name, or ".." above the
// root is "path not found"; symbolic links inside the folder are not followed.
//
// Fault points asked (a failed call reports access denied, or a read or write fault):
//   fault::kFileCreate  opening a file for writing, CreateDirectory, GetTempFileName's new file
//   fault::kFileWrite   WriteFile            fault::kFileRead  ReadFile
//   fault::kFileCopy    CopyFile             fault::kFileDelete  DeleteFile, RemoveDirectory
//   fault::kFileMove    MoveFile             fault::kFileAttributes  SetFileAttributes
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/os.h"

namespace sim {

class Machine;
class Faults;

// A Windows path looked up on the drive.
struct DrivePath {
  std::uint32_t error = 0;         // non-zero: the path itself is bad (and nothing else is set)
  std::vector<std::string> parts;  // below C:\, existing parts in their on-disk case
  std::filesystem::path host;      // where it is (or would be) in the machine folder
  bool exists = false;
  bool isDirectory = false;
  bool parentExists = false;  // the folder that holds it exists

  bool IsRoot() const { return parts.empty(); }
  // "C:\WINDOWS\SYSTEM\X.DLL" as found on disk.
  std::string Windows() const;
  // The name attributes.json knows it by: the path below C:\ in upper case.
  std::string Key() const;
};

class Drive {
 public:
  // Reads attributes.json if present; throws MachineError "attributes.json:line: reason" if unreadable.
  explicit Drive(Machine& machine);
  void Save();

  // Looks a path up, relative to `currentDir` (itself a full Windows path such as "C:\WINDOWS").
  DrivePath Resolve(const std::string& windowsPath, const std::string& currentDir = "C:\\") const;

  // Attribute bits as GetFileAttributes reports them (0x80 when none is set), or kInvalidFileAttributes.
  std::uint32_t Attributes(const DrivePath& path) const;
  void SetAttributes(const DrivePath& path, std::uint32_t attributes);

  // Files marked in use: copying onto them and deleting them fail as on a running Windows.
  bool InUse(const DrivePath& path) const { return inUse_.count(path.Key()) != 0; }
  // Marks a file by its Windows path; false if it does not exist.
  bool SetInUse(const std::string& windowsPath, bool inUse);
  // A restart ends every program, so nothing stays in use.
  void ClearInUse() { inUse_.clear(); }
  std::size_t InUseCount() const { return inUse_.size(); }

  // After a file or folder disappears or moves, its attributes and in-use mark go with it.
  void Forget(const DrivePath& path);
  void Rename(const DrivePath& from, const DrivePath& to);

  // Handles open on a file, machine-wide.
  void AddOpen(const std::string& key, bool write);
  void RemoveOpen(const std::string& key, bool write);
  bool IsOpen(const std::string& key) const { return opens_.count(key) != 0; }
  bool IsOpenForWrite(const std::string& key) const { return writers_.count(key) != 0; }

  std::uint64_t FreeBytes() const;
  // Takes `bytes` of the free space; false (and nothing taken) if there is not that much.
  bool Reserve(std::uint64_t bytes);
  void Release(std::uint64_t bytes);
  // Bytes taken by the files in the drive folder.
  std::uint64_t UsedBytes() const;

  Machine& GetMachine() { return machine_; }
  bool IsNt() const;

 private:
  Machine& machine_;
  std::map<std::string, std::uint32_t> attributes_;
  std::set<std::string> inUse_;
  std::map<std::string, int> opens_;
  std::map<std::string, int> writers_;
};

class ProcessFiles : public platform::FileSystem {
 public:
  ProcessFiles(Machine& machine, std::string& currentDir, std::uint32_t& lastError);
  ~ProcessFiles() override;

  std::uint32_t LastError() const override { return lastError_; }
  void SetLastError(std::uint32_t code) override { lastError_ = code; }

  std::uint32_t GetWindowsDirectory(char* buffer, std::uint32_t size) override;
  std::uint32_t GetSystemDirectory(char* buffer, std::uint32_t size) override;
  std::uint32_t GetCurrentDirectory(std::uint32_t size, char* buffer) override;
  bool SetCurrentDirectory(const char* path) override;

  std::uint32_t GetFileAttributes(const char* path) override;
  bool SetFileAttributes(const char* path, std::uint32_t attributes) override;
  bool CreateDirectory(const char* path) override;
  bool RemoveDirectory(const char* path) override;
  bool CopyFile(const char* source, const char* target, bool failIfExists) override;
  bool DeleteFile(const char* path) override;
  bool MoveFile(const char* source, const char* target) override;

  platform::FindHandle FindFirstFile(const char* pattern, platform::FindData* data) override;
  bool FindNextFile(platform::FindHandle find, platform::FindData* data) override;
  void FindClose(platform::FindHandle find) override;

  std::uint32_t GetTempFileName(const char* dir, const char* prefix, std::uint32_t unique,
                                char* out) override;

  bool GetDiskFreeSpace(const char* root, std::uint32_t* sectorsPerCluster, std::uint32_t* bytesPerSector,
                        std::uint32_t* freeClusters, std::uint32_t* totalClusters) override;
  bool GetDiskFreeSpaceEx(const char* dir, std::uint64_t* freeToCaller, std::uint64_t* total,
                          std::uint64_t* totalFree) override;

  platform::FileHandle OpenFile(const char* path, platform::OpenMode mode) override;
  bool ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool WriteFile(platform::FileHandle file, const void* buffer, std::uint32_t size,
                 std::uint32_t* written) override;
  std::int64_t SeekFile(platform::FileHandle file, std::int64_t offset, platform::SeekFrom from) override;
  std::uint64_t GetFileSize(platform::FileHandle file) override;
  bool CloseFile(platform::FileHandle file) override;

 private:
  struct Open {
    std::FILE* file = nullptr;
    std::string key;
    std::filesystem::path host;
    bool read = false;
    bool write = false;
  };
  struct Find {
    std::vector<platform::FindData> entries;
    std::size_t next = 0;
  };

  // Looks a path up; on a bad path sets the last error and returns false.
  bool Lookup(const char* path, DrivePath* out);
  bool Fail(std::uint32_t code) {
    lastError_ = code;
    return false;
  }
  bool Faulted(const char* point);
  // The error for a file that another program holds, per family.
  std::uint32_t InUseError() const;
  std::uint32_t CopyDirectory(const std::string& text, char* buffer, std::uint32_t size);

  Machine& machine_;
  Drive& drive_;
  std::string& currentDir_;
  std::uint32_t& lastError_;
  std::map<platform::FileHandle, Open> files_;
  std::map<platform::FindHandle, Find> finds_;
  std::uintptr_t nextHandle_ = 0x100;
};

// Whether a file name matches a FindFirstFile pattern of '*' and '?', without regard to letter case;
// "*.*" matches every name, a pattern ending in '.' matches names without an extension.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace sim
