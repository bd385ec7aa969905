#include "platform/win32/backend.h"

#include <cstring>

#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

void CopyFindData(const WIN32_FIND_DATAA& from, FindData* to) {
  if (!to) return;
  to->attributes = from.dwFileAttributes;
  to->size = (std::uint64_t{from.nFileSizeHigh} << 32) | from.nFileSizeLow;
  std::memcpy(to->name, from.cFileName, sizeof to->name);
  to->name[sizeof to->name - 1] = '\0';
}

HANDLE AsHandle(std::uintptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

}  // namespace

std::uint32_t Win32FileSystem::LastError() const {
  return GetLastError();
}
void Win32FileSystem::SetLastError(std::uint32_t code) {
  ::SetLastError(code);
}

std::uint32_t Win32FileSystem::GetWindowsDirectory(char* buffer, std::uint32_t size) {
  return GetWindowsDirectoryA(buffer, size);
}
std::uint32_t Win32FileSystem::GetSystemDirectory(char* buffer, std::uint32_t size) {
  return GetSystemDirectoryA(buffer, size);
}
std::uint32_t Win32FileSystem::GetCurrentDirectory(std::uint32_t size, char* buffer) {
  return GetCurrentDirectoryA(size, buffer);
}
bool Win32FileSystem::SetCurrentDirectory(const char* path) {
  return SetCurrentDirectoryA(path);
}

std::uint32_t Win32FileSystem::GetFileAttributes(const char* path) {
  return GetFileAttributesA(path);
}
bool Win32FileSystem::SetFileAttributes(const char* path, std::uint32_t attributes) {
  return SetFileAttributesA(path, attributes);
}
bool Win32FileSystem::CreateDirectory(const char* path) {
  return CreateDirectoryA(path, nullptr);
}
bool Win32FileSystem::RemoveDirectory(const char* path) {
  return RemoveDirectoryA(path);
}
bool Win32FileSystem::CopyFile(const char* source, const char* target, bool failIfExists) {
  return CopyFileA(source, target, failIfExists);
}
bool Win32FileSystem::DeleteFile(const char* path) {
  return DeleteFileA(path);
}
bool Win32FileSystem::MoveFile(const char* source, const char* target) {
  return MoveFileA(source, target);
}

FindHandle Win32FileSystem::FindFirstFile(const char* pattern, FindData* data) {
  WIN32_FIND_DATAA found{};
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return kInvalidFindHandle;
  CopyFindData(found, data);
  return reinterpret_cast<FindHandle>(find);
}

bool Win32FileSystem::FindNextFile(FindHandle find, FindData* data) {
  WIN32_FIND_DATAA found{};
  if (!FindNextFileA(AsHandle(find), &found)) return false;
  CopyFindData(found, data);
  return true;
}

void Win32FileSystem::FindClose(FindHandle find) {
  ::FindClose(AsHandle(find));
}

std::uint32_t Win32FileSystem::GetTempFileName(const char* dir, const char* prefix, std::uint32_t unique,
                                               char* out) {
  return GetTempFileNameA(dir, prefix, unique, out);
}

bool Win32FileSystem::GetDiskFreeSpace(const char* root, std::uint32_t* sectorsPerCluster,
                                       std::uint32_t* bytesPerSector, std::uint32_t* freeClusters,
                                       std::uint32_t* totalClusters) {
  DwordRef sectors(sectorsPerCluster), bytes(bytesPerSector), free(freeClusters), total(totalClusters);
  return GetDiskFreeSpaceA(root, sectors.get(), bytes.get(), free.get(), total.get());
}

bool Win32FileSystem::GetDiskFreeSpaceEx(const char* dir, std::uint64_t* freeToCaller, std::uint64_t* total,
                                         std::uint64_t* totalFree) {
  // Only from Windows 95 OSR2 on: looked up at run time so the program still loads on the first release.
  using Function = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  static const auto function = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
  if (!function) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  ULARGE_INTEGER a{}, b{}, c{};
  if (!function(dir, &a, &b, &c)) return false;
  if (freeToCaller) *freeToCaller = a.QuadPart;
  if (total) *total = b.QuadPart;
  if (totalFree) *totalFree = c.QuadPart;
  return true;
}

FileHandle Win32FileSystem::OpenFile(const char* path, OpenMode mode) {
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::kRead:
      break;
    case OpenMode::kCreateAlways:
      access = GENERIC_WRITE, share = 0, disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kCreateNew:
      access = GENERIC_WRITE, share = 0, disposition = CREATE_NEW;
      break;
    case OpenMode::kOpenReadWrite:
      access = GENERIC_READ | GENERIC_WRITE, share = 0;
      break;
  }
  HANDLE file = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? kInvalidFileHandle : reinterpret_cast<FileHandle>(file);
}

bool Win32FileSystem::ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) {
  DWORD done = 0;
  const bool ok = ::ReadFile(AsHandle(file), buffer, size, &done, nullptr);
  if (read) *read = done;
  return ok;
}

bool Win32FileSystem::WriteFile(FileHandle file, const void* buffer, std::uint32_t size,
                                std::uint32_t* written) {
  DWORD done = 0;
  const bool ok = ::WriteFile(AsHandle(file), buffer, size, &done, nullptr);
  if (written) *written = done;
  return ok;
}

std::int64_t Win32FileSystem::SeekFile(FileHandle file, std::int64_t offset, SeekFrom from) {
  // SetFilePointer with the high word, as Windows 95 has no SetFilePointerEx.
  const DWORD method = from == SeekFrom::kBegin     ? FILE_BEGIN
                       : from == SeekFrom::kCurrent ? FILE_CURRENT
                                                    : FILE_END;
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(AsHandle(file), static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  return (static_cast<std::int64_t>(high) << 32) | low;
}

std::uint64_t Win32FileSystem::GetFileSize(FileHandle file) {
  DWORD high = 0;
  const DWORD low = ::GetFileSize(AsHandle(file), &high);
  return (std::uint64_t{high} << 32) | low;
}

bool Win32FileSystem::CloseFile(FileHandle file) {
  return CloseHandle(AsHandle(file));
}

}  // namespace platform::win32
