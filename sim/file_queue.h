// The setup file queue of a simulated NT machine (SetupOpenFileQueue, SetupQueueCopyA,
// SetupCommitFileQueueA with the default callback, SetupCloseFileQueue). Copies go through the process's
// file system, so its faults and in-use files apply. A target in use is replaced at the next restart when
// the copy style allows it: the new file goes to a temporary file in the Windows TEMP folder and a pending
// rename carries it over the target at boot. Other failures are skipped, as the default callback skips
// them when the user chooses Skip; each one is recorded in Failures().
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/file_queue.h"
#include "platform/files.h"

namespace sim {

class FileQueueSim : public platform::FileQueue {
 public:
  explicit FileQueueSim(platform::FileSystem& files);

  platform::FileQueueHandle Open() override;
  bool QueueCopy(platform::FileQueueHandle queue, const char* sourceRoot, const char* sourcePath,
                 const char* sourceFile, const char* targetDir, const char* targetFile,
                 std::uint32_t style) override;
  bool Commit(platform::FileQueueHandle queue, bool* rebootNeeded) override;
  void Close(platform::FileQueueHandle queue) override;

  struct Copy {
    std::string source;
    std::string targetDir;
    std::string target;
    std::uint32_t style = 0;
  };
  // What the last commits did not copy, as "target: error code".
  const std::vector<std::string>& Failures() const { return failures_; }
  // What the queues committed so far delayed to the next restart (target paths).
  const std::vector<std::string>& Delayed() const { return delayed_; }

 private:
  bool CopyOne(const Copy& copy, bool* delayed);
  void MakeDirectories(const std::string& dir);

  platform::FileSystem& files_;
  std::map<platform::FileQueueHandle, std::vector<Copy>> queues_;
  platform::FileQueueHandle next_ = 0x7F000;
  std::vector<std::string> failures_;
  std::vector<std::string> delayed_;
};

// Joins Windows path parts with exactly one backslash between them; empty parts are left out.
std::string JoinWindowsPath(const std::string& left, const std::string& right);

}  // namespace sim
