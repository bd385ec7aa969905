// The SetupAPI file queue (SetupOpenFileQueue, SetupQueueCopyA, SetupCommitFileQueueA with the default
// queue callback, SetupCloseFileQueue).
#pragma once

#include <cstdint>

namespace platform {

using FileQueueHandle = std::uintptr_t;

constexpr std::uint32_t kSpCopyInUseNeedsReboot = 0x100;
constexpr std::uint32_t kSpCopyForceInUse = 0x200;
constexpr std::uint32_t kSpCopyNoOverwrite = 0x8;
constexpr std::uint32_t kSpCopyNewerOrSame = 0x4;

class FileQueue {
 public:
  virtual ~FileQueue() = default;

  virtual FileQueueHandle Open() = 0;
  virtual bool QueueCopy(FileQueueHandle queue, const char* sourceRoot, const char* sourcePath,
                         const char* sourceFile, const char* targetDir, const char* targetFile,
                         std::uint32_t style) = 0;
  // Commits with the default callback and no user interface; `rebootNeeded` (may be null) tells whether
  // an in-use target was scheduled for the next restart.
  virtual bool Commit(FileQueueHandle queue, bool* rebootNeeded) = 0;
  virtual void Close(FileQueueHandle queue) = 0;
};

}  // namespace platform
