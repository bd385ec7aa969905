#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

#include <string>
#include <vector>

namespace platform::win32 {
namespace {

// The default callback with no user interface, plus a note of every operation delayed to the restart.
struct CommitContext {
  void* defaultContext = nullptr;
  bool delayed = false;
};

UINT CALLBACK CommitCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  auto* commit = static_cast<CommitContext*>(context);
  if (notification == SPFILENOTIFY_FILEOPDELAYED) commit->delayed = true;
  if (notification == SPFILENOTIFY_NEEDMEDIA) {
    // Without a user interface nobody can insert a disk: the default answer ("go on") would have Wine
    // ask for the same missing file again and again, so a source that is not there is skipped.
    const auto* media = reinterpret_cast<const SOURCE_MEDIA_A*>(param1);
    if (media && media->SourcePath && media->SourceFile) {
      std::string path = media->SourcePath;
      if (!path.empty() && path.back() != '\\') path += '\\';
      path += media->SourceFile;
      if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return FILEOP_SKIP;
    }
  }
  return SetupDefaultQueueCallbackA(commit->defaultContext, notification, param1, param2);
}

// The restart's list of pending renames, to tell whether a commit added to it.
std::vector<BYTE> PendingRenames() {
  std::vector<BYTE> data;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return data;
  DWORD size = 0;
  if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) ==
      ERROR_SUCCESS) {
    data.resize(size);
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, data.data(), &size) !=
        ERROR_SUCCESS)
      data.clear();
    else
      data.resize(size);
  }
  RegCloseKey(key);
  return data;
}

HSPFILEQ AsQueue(FileQueueHandle queue) {
  return reinterpret_cast<HSPFILEQ>(queue);
}

}  // namespace

FileQueueHandle Win32FileQueue::Open() {
  HSPFILEQ queue = SetupOpenFileQueue();
  return queue == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<FileQueueHandle>(queue);
}

bool Win32FileQueue::QueueCopy(FileQueueHandle queue, const char* sourceRoot, const char* sourcePath,
                               const char* sourceFile, const char* targetDir, const char* targetFile,
                               std::uint32_t style) {
  return SetupQueueCopyA(AsQueue(queue), sourceRoot, sourcePath, sourceFile, nullptr, nullptr, targetDir,
                         targetFile, style);
}

bool Win32FileQueue::Commit(FileQueueHandle queue, bool* rebootNeeded) {
  const std::vector<BYTE> pendingBefore = PendingRenames();
  CommitContext context;
  context.defaultContext = SetupInitDefaultQueueCallbackEx(nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE),
                                                           0, 0, nullptr);  // no user interface
  const bool ok = SetupCommitFileQueueA(nullptr, AsQueue(queue), CommitCallback, &context);
  SetupTermDefaultQueueCallback(context.defaultContext);
  if (rebootNeeded) {
    // The queue also remembers in-use files; ask it as well, in case no delay notification came.
    const INT flags = SetupPromptReboot(AsQueue(queue), nullptr, TRUE);
    // Wine sends neither and keeps no such flag, but it does schedule the rename: a commit that added to
    // the restart's list needs the restart too.
    *rebootNeeded = context.delayed || (flags != -1 && (flags & SPFILEQ_FILE_IN_USE)) ||
                    PendingRenames() != pendingBefore;
  }
  return ok;
}

void Win32FileQueue::Close(FileQueueHandle queue) {
  SetupCloseFileQueue(AsQueue(queue));
}

}  // namespace platform::win32
