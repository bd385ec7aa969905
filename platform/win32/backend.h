// The backend's classes, one per platform interface. Each method is a thin layer over the Win32 call it
// names; the classes hold no state beyond what a call needs. Programs normally take them through
// MakeOs() (win32_os.h); the conformance program constructs them one by one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/os.h"

namespace platform::win32 {

class Win32Registry final : public Registry {
 public:
  std::uint32_t OpenKey(HKey parent, const char* subkey, HKey* out) override;
  std::uint32_t CreateKey(HKey parent, const char* subkey, HKey* out, bool* created = nullptr) override;
  std::uint32_t CloseKey(HKey key) override;
  std::uint32_t DeleteKey(HKey parent, const char* subkey) override;
  std::uint32_t QueryValue(HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) override;
  std::uint32_t SetValue(HKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) override;
  std::uint32_t SetDefaultValue(HKey key, const char* subkey, const char* text) override;
  std::uint32_t DeleteValue(HKey key, const char* name) override;
  std::uint32_t EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) override;
  std::uint32_t EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
  std::uint32_t QueryInfoKey(HKey key, std::uint32_t* subkeys, std::uint32_t* maxSubkeyLen,
                             std::uint32_t* values, std::uint32_t* maxValueNameLen,
                             std::uint32_t* maxValueLen) override;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::uint32_t LastError() const override;
  void SetLastError(std::uint32_t code) override;
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
  bool MoveFileEx(const char* source, const char* target, std::uint32_t flags) override;
  FindHandle FindFirstFile(const char* pattern, FindData* data) override;
  bool FindNextFile(FindHandle find, FindData* data) override;
  void FindClose(FindHandle find) override;
  std::uint32_t GetTempFileName(const char* dir, const char* prefix, std::uint32_t unique,
                                char* out) override;
  bool GetDiskFreeSpace(const char* root, std::uint32_t* sectorsPerCluster, std::uint32_t* bytesPerSector,
                        std::uint32_t* freeClusters, std::uint32_t* totalClusters) override;
  bool GetDiskFreeSpaceEx(const char* dir, std::uint64_t* freeToCaller, std::uint64_t* total,
                          std::uint64_t* totalFree) override;
  FileHandle OpenFile(const char* path, OpenMode mode) override;
  bool ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool WriteFile(FileHandle file, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  std::int64_t SeekFile(FileHandle file, std::int64_t offset, SeekFrom from) override;
  std::uint64_t GetFileSize(FileHandle file) override;
  bool CloseFile(FileHandle file) override;
};

class Win32Profiles final : public Profiles {
 public:
  std::uint32_t GetSection(const char* section, char* buffer, std::uint32_t size, const char* file) override;
  bool WriteSection(const char* section, const char* entries, const char* file) override;
  std::uint32_t GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                          std::uint32_t size, const char* file) override;
  bool WriteString(const char* section, const char* key, const char* value, const char* file) override;
};

class Win32RiffReader final : public RiffReader {
 public:
  RiffHandle Open(const char* path) override;
  void Close(RiffHandle file) override;
  std::uint32_t Descend(RiffHandle file, ChunkInfo* chunk, const ChunkInfo* parent,
                        std::uint32_t flags) override;
  std::uint32_t Ascend(RiffHandle file, ChunkInfo* chunk) override;
  std::int32_t Read(RiffHandle file, void* buffer, std::int32_t size) override;
  std::int32_t Seek(RiffHandle file, std::int32_t offset, int origin) override;
};

class Win32DeviceIo final : public DeviceIo {
 public:
  DeviceHandle Open(const char* name) override;
  bool Close(DeviceHandle device) override;
  bool Control(DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
               std::uint32_t outSize, std::uint32_t* returned) override;
};

// in/out instructions: only Windows 95 lets a 32-bit user-mode program execute them.
class Win32PortIo final : public PortIo {
 public:
  std::uint8_t In8(std::uint16_t port) override;
  std::uint16_t In16(std::uint16_t port) override;
  std::uint32_t In32(std::uint16_t port) override;
  void Out8(std::uint16_t port, std::uint8_t value) override;
  void Out16(std::uint16_t port, std::uint16_t value) override;
  void Out32(std::uint16_t port, std::uint32_t value) override;
};

// Where user mode has no ports (NT, 64-bit): reads give all ones, as from an empty bus; writes go nowhere.
class AbsentPortIo final : public PortIo {
 public:
  std::uint8_t In8(std::uint16_t) override { return 0xFF; }
  std::uint16_t In16(std::uint16_t) override { return 0xFFFF; }
  std::uint32_t In32(std::uint16_t) override { return 0xFFFFFFFF; }
  void Out8(std::uint16_t, std::uint8_t) override {}
  void Out16(std::uint16_t, std::uint16_t) override {}
  void Out32(std::uint16_t, std::uint32_t) override {}
};

class Win32Clock final : public Clock {
 public:
  std::uint32_t TimeGetTime() override;
};

// 32-bit only: a linear address is the pointer itself. Contains asks VirtualQuery whether every page of
// the range is committed and readable, so a stray address is refused rather than dereferenced.
class Win32AddressSpace final : public AddressSpace {
 public:
  std::span<std::uint8_t> Map(LinearAddress address, std::uint32_t length) override;
  bool Contains(LinearAddress address, std::uint32_t length) override;
  LinearAddress GlobalAlloc(std::uint32_t size) override;
  void GlobalFree(LinearAddress address) override;
  std::uint32_t TotalPhysicalMemory() override;
};

class Win32Processes final : public Processes {
 public:
  ProcessHandle Start(const char* commandLine, std::uint32_t creationFlags) override;
  void Wait(ProcessHandle process) override;
  void CloseHandle(ProcessHandle process) override;
  bool EnableShutdownPrivilege() override;
  bool ExitWindows(std::uint32_t flags) override;
};

class Win32ServiceManager final : public ServiceManager {
 public:
  std::uint32_t LastError() const override;
  ServiceHandle OpenManager() override;
  ServiceHandle Create(ServiceHandle manager, const char* name, const ServiceConfig& config) override;
  ServiceHandle Open(ServiceHandle manager, const char* name) override;
  bool Start(ServiceHandle service) override;
  bool Stop(ServiceHandle service) override;
  bool ChangeConfig(ServiceHandle service, const ServiceConfig& config) override;
  bool Delete(ServiceHandle service) override;
  bool QueryStatus(ServiceHandle service, std::uint32_t* state) override;
  bool Close(ServiceHandle handle) override;
};

class Win32FileQueue final : public FileQueue {
 public:
  FileQueueHandle Open() override;
  bool QueueCopy(FileQueueHandle queue, const char* sourceRoot, const char* sourcePath,
                 const char* sourceFile, const char* targetDir, const char* targetFile,
                 std::uint32_t style) override;
  bool Commit(FileQueueHandle queue, bool* rebootNeeded) override;
  void Close(FileQueueHandle queue) override;
};

class Win32VersionInfo final : public VersionInfo {
 public:
  std::uint32_t GetSize(const char* path) override;
  bool Get(const char* path, std::span<std::uint8_t> block) override;
  bool Query(std::span<std::uint8_t> block, const char* subBlock, const void** value,
             std::uint32_t* length) override;
};

// Interrupt 1Ah issued from the program's own code: 32-bit Windows 95 only.
class Win32PciBios final : public PciBios {
 public:
  CheckRegisters InstallationCheck() override;
  std::uint8_t FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) override;
};

// NT and 64-bit Windows give user mode no BIOS: no PCI BIOS, every search "device not found" (86h).
class AbsentPciBios final : public PciBios {
 public:
  CheckRegisters InstallationCheck() override { return {}; }
  std::uint8_t FindDevice(std::uint16_t, std::uint16_t, std::uint16_t) override { return 0x86; }
};

// The Windows 95 flat thunk entry points of KERNEL32, looked up at run time: other Windows versions
// lack them, and Connect32 then fails.
class Win32Thunk final : public Thunk {
 public:
  Win32Thunk();
  bool Connect32(void* thunkData32, const char* thunkData16Name, const char* library16, const char* library32,
                 std::uintptr_t instance, std::uint32_t reason) override;
  void Prolog() override;
  void Epilog() override;
  std::uint32_t MapSLFix(std::uint32_t segmentedPointer) override;
  void UnMapSLFixArray(std::uint32_t count, const std::uint32_t* segmentedPointers) override;

 private:
  void* connect_ = nullptr;
  void* prolog_ = nullptr;
  void* epilog_ = nullptr;
  void* mapSLFix_ = nullptr;
  void* unMapSLFixArray_ = nullptr;
};

// Real dialogs built in memory from the templates; UTF-8 texts become UTF-16 for the W calls (NT) or the
// ANSI code page for the A calls (Windows 95, which lacks most W calls).
class Win32UserInterface final : public UserInterface {
 public:
  explicit Win32UserInterface(WindowsFamily family);
  std::intptr_t ShowModal(const DialogTemplate& dialog, WindowHandle owner, const DialogProc& proc,
                          std::intptr_t initParam) override;
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 std::uint32_t flags) override;
  bool OpenFileDialog(WindowHandle owner, const std::string& title, const std::string& filter,
                      const std::string& initialDir, std::string* chosen) override;
  ProgressWindowUi* CreateProgress(const DialogTemplate& dialog, WindowHandle owner) override;
  void DestroyProgress(ProgressWindowUi* window) override;
  void SetPageLook(std::uint32_t backgroundColour, std::uint32_t textColour) override;
  BitmapHandle LoadBitmapFile(const char* path) override;
  std::uintptr_t LoadIcon(std::uintptr_t module, int iconId) override;

  // What every dialog of this program looks like; set by SetPageLook.
  struct Look {
    bool set = false;
    std::uint32_t background = 0, text = 0;
    std::uintptr_t brush = 0;
  };

 private:
  bool unicode_;
  Look look_;
};

// UTF-8 to UTF-16 and back, without the code page tables Windows 95 lacks. Malformed bytes become U+FFFD.
std::wstring Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::wstring& text);

// The in-memory DLGTEMPLATE (with DS_SETFONT and one DLGITEMTEMPLATE per control) for a template;
// `threeD` adds DS_3DLOOK.
std::vector<std::uint16_t> BuildDialogTemplate(const DialogTemplate& dialog, bool threeD = false);

}  // namespace platform::win32
