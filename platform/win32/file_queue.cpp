#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

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
  return SetupDefaultQueueCallbackA(commit->defaultContext, notification, param1, param2);
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
  CommitContext context;
  context.defaultContext = SetupInitDefaultQueueCallbackEx(nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE),
                                                           0, 0, nullptr);  // no user interface
  const bool ok = SetupCommitFileQueueA(nullptr, AsQueue(queue), CommitCallback, &context);
  SetupTermDefaultQueueCallback(context.defaultContext);
  if (rebootNeeded) {
    // The queue also remembers in-use files; ask it as well, in case no delay notification came.
    const INT flags = SetupPromptReboot(AsQueue(queue), nullptr, TRUE);
    *rebootNeeded = context.delayed || (flags != -1 && (flags & SPFILEQ_FILE_IN_USE));
  }
  return ok;
}

void Win32FileQueue::Close(FileQueueHandle queue) {
  SetupCloseFileQueue(AsQueue(queue));
}

}  // namespace platform::win32
