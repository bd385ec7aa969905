#include "sim/file_queue.h"

namespace sim {

namespace {
constexpr platform::FileQueueHandle kInvalidQueue = ~platform::FileQueueHandle{0};
}

std::string JoinWindowsPath(const std::string& left, const std::string& right) {
  if (left.empty()) return right;
  if (right.empty()) return left;
  std::string out = left;
  while (!out.empty() && out.back() == '\\') out.pop_back();
  std::size_t start = 0;
  while (start < right.size() && right[start] == '\\') ++start;
  return out + "\\" + right.substr(start);
}

FileQueueSim::FileQueueSim(platform::FileSystem& files) : files_(files) {}

platform::FileQueueHandle FileQueueSim::Open() {
  platform::FileQueueHandle handle = next_ += 8;
  queues_[handle];
  return handle;
}

bool FileQueueSim::QueueCopy(platform::FileQueueHandle queue, const char* sourceRoot, const char* sourcePath,
                             const char* sourceFile, const char* targetDir, const char* targetFile,
                             std::uint32_t style) {
  auto it = queues_.find(queue);
  if (it == queues_.end()) {
    files_.SetLastError(platform::kErrorInvalidHandle);
    return false;
  }
  if (!sourceRoot || !sourceFile || !targetDir) {
    files_.SetLastError(platform::kErrorInvalidParameter);
    return false;
  }
  Copy copy;
  copy.source = JoinWindowsPath(JoinWindowsPath(sourceRoot, sourcePath ? sourcePath : ""), sourceFile);
  copy.targetDir = targetDir;
  while (copy.targetDir.size() > 3 && copy.targetDir.back() == '\\') copy.targetDir.pop_back();
  copy.target = JoinWindowsPath(copy.targetDir, targetFile ? targetFile : sourceFile);
  copy.style = style;
  it->second.push_back(std::move(copy));
  return true;
}

void FileQueueSim::MakeDirectories(const std::string& dir) {
  if (files_.GetFileAttributes(dir.c_str()) != platform::kInvalidFileAttributes) return;
  auto slash = dir.find_last_of('\\');
  if (slash != std::string::npos && slash > 2) MakeDirectories(dir.substr(0, slash));
  files_.CreateDirectory(dir.c_str());
}

bool FileQueueSim::CopyOne(const Copy& copy, bool* delayed) {
  if ((copy.style & platform::kSpCopyNoOverwrite) &&
      files_.GetFileAttributes(copy.target.c_str()) != platform::kInvalidFileAttributes)
    return true;
  MakeDirectories(copy.targetDir);
  bool forceDelay = (copy.style & platform::kSpCopyForceInUse) != 0;
  if (!forceDelay && files_.CopyFile(copy.source.c_str(), copy.target.c_str(), false)) return true;
  std::uint32_t error = forceDelay ? platform::kErrorSharingViolation : files_.LastError();
  bool inUse = error == platform::kErrorSharingViolation;
  if (!inUse || !(copy.style & (platform::kSpCopyInUseNeedsReboot | platform::kSpCopyForceInUse))) {
    failures_.push_back(copy.target + ": " + std::to_string(error));
    return false;
  }
  // The target is busy: copy beside it and let the restart put the copy in its place.
  char temp[platform::kMaxPath] = {};
  char windows[platform::kMaxPath] = {};
  std::uint32_t length = files_.GetWindowsDirectory(windows, sizeof windows);
  std::string tempDir = std::string(windows, length < sizeof windows ? length : 0) + "\\TEMP";
  MakeDirectories(tempDir);
  if (files_.GetTempFileName(tempDir.c_str(), "SET", 0, temp) == 0 ||
      !files_.CopyFile(copy.source.c_str(), temp, false) ||
      !files_.MoveFileEx(temp, copy.target.c_str(),
                         platform::kMoveFileDelayUntilReboot | platform::kMoveFileReplaceExisting)) {
    failures_.push_back(copy.target + ": " + std::to_string(files_.LastError()));
    if (temp[0]) files_.DeleteFile(temp);
    return false;
  }
  delayed_.push_back(copy.target);
  *delayed = true;
  return true;
}

bool FileQueueSim::Commit(platform::FileQueueHandle queue, bool* rebootNeeded) {
  auto it = queues_.find(queue);
  if (it == queues_.end()) {
    files_.SetLastError(platform::kErrorInvalidHandle);
    return false;
  }
  bool delayed = false;
  for (const auto& copy : it->second) CopyOne(copy, &delayed);
  it->second.clear();
  if (rebootNeeded) *rebootNeeded = delayed;
  return true;
}

void FileQueueSim::Close(platform::FileQueueHandle queue) {
  if (queue != kInvalidQueue) queues_.erase(queue);
}

}  // namespace sim
