// Cases that pin the Win32 backend's own layer: the mapping of our numbers and out-parameters onto the
// Win32 calls (predefined keys, DWORD in/out sizes, handles, RIFF chunk records, the stand-in detection
// library). They run against platform::Os only, so the simulated PC can run them too.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/win32/windows_api.h"
// After the Windows headers, whose A/W macros windows_api.h removes.
#include "platform/win32/detection.h"
#include "runner.h"

namespace conformance {
namespace {

using namespace platform;

constexpr const char* kTestKey = "Software\\J6 Conformance";

std::string WriteBytes(FileSystem& files, const std::string& path, const std::string& bytes) {
  FileHandle file = files.OpenFile(path.c_str(), OpenMode::kCreateAlways);
  std::uint32_t written = 0;
  if (file != kInvalidFileHandle) {
    files.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
    files.CloseFile(file);
  }
  return path;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Le32(std::uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  return out;
}

std::string Chunk(const std::string& id, const std::string& data) {
  std::string out = id + Le32(static_cast<std::uint32_t>(data.size())) + data;
  if (data.size() % 2) out.push_back('\0');
  return out;
}

void RegistryRoundTrip(Environment& env, Expect& expect) {
  Registry& reg = *env.os.registry;
  reg.DeleteKey(kHkeyCurrentUser, (std::string(kTestKey) + "\\Child").c_str());
  reg.DeleteKey(kHkeyCurrentUser, kTestKey);

  HKey key = 0xdeadbeef;
  expect.Eq(reg.OpenKey(kHkeyCurrentUser, kTestKey, &key), kErrorFileNotFound, "open missing key");
  expect.Eq(key, HKey{0}, "handle of a failed open");

  bool created = false;
  expect.Eq(reg.CreateKey(kHkeyCurrentUser, kTestKey, &key, &created), kErrorSuccess, "create key");
  expect.True(created, "new key reported as created");
  HKey again = 0;
  expect.Eq(reg.CreateKey(kHkeyCurrentUser, kTestKey, &again, &created), kErrorSuccess,
            "create existing key");
  expect.True(!created, "existing key reported as not created");
  reg.CloseKey(again);

  const char text[] = "hello";
  expect.Eq(reg.SetValue(key, "Text", kRegSz, reinterpret_cast<const std::uint8_t*>(text), sizeof text),
            kErrorSuccess, "set REG_SZ");
  const std::uint8_t dword[4] = {0x78, 0x56, 0x34, 0x12};
  expect.Eq(reg.SetValue(key, "Number", kRegDword, dword, 4), kErrorSuccess, "set REG_DWORD");

  std::uint32_t type = 0xdeadbeef, size = 0xdeadbeef;
  expect.Eq(reg.QueryValue(key, "Text", &type, nullptr, &size), kErrorSuccess, "query size only");
  expect.Eq(type, kRegSz, "type of Text");
  expect.Eq(size, 6u, "size of Text with its NUL");
  std::uint8_t buffer[16] = {};
  size = 3;
  expect.Eq(reg.QueryValue(key, "Text", nullptr, buffer, &size), kErrorMoreData, "short buffer");
  expect.Eq(size, 6u, "needed size after a short buffer");
  size = sizeof buffer;
  expect.Eq(reg.QueryValue(key, "Number", &type, buffer, &size), kErrorSuccess, "query DWORD");
  expect.Eq(size, 4u, "DWORD size");
  expect.Eq(std::memcmp(buffer, dword, 4), 0, "DWORD bytes");
  expect.Eq(reg.QueryValue(key, "Missing", nullptr, nullptr, nullptr), kErrorFileNotFound, "missing value");

  expect.Eq(reg.SetDefaultValue(key, "Child", "default text"), kErrorSuccess, "RegSetValue on a new subkey");
  HKey child = 0;
  expect.Eq(reg.OpenKey(key, "Child", &child), kErrorSuccess, "subkey made by RegSetValue");
  size = sizeof buffer;
  expect.Eq(reg.QueryValue(child, "", &type, buffer, &size), kErrorSuccess, "default value");
  expect.Eq(std::string(reinterpret_cast<char*>(buffer)), std::string("default text"), "default value text");
  reg.CloseKey(child);

  std::uint32_t subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxValue = 0;
  expect.Eq(reg.QueryInfoKey(key, &subkeys, &maxSubkey, &values, &maxName, &maxValue), kErrorSuccess, "info");
  expect.Eq(subkeys, 1u, "subkey count");
  expect.Eq(maxSubkey, 5u, "longest subkey name");
  expect.Eq(values, 2u, "value count");
  expect.Eq(maxName, 6u, "longest value name");

  char name[8] = {};
  std::uint32_t nameSize = sizeof name;
  expect.Eq(reg.EnumKey(key, 0, name, &nameSize), kErrorSuccess, "enum key 0");
  expect.Eq(std::string(name), std::string("Child"), "enumerated subkey");
  expect.Eq(nameSize, 5u, "enumerated subkey length");
  nameSize = sizeof name;
  expect.Eq(reg.EnumKey(key, 1, name, &nameSize), kErrorNoMoreItems, "enum key past the end");

  expect.Eq(reg.DeleteValue(key, "Number"), kErrorSuccess, "delete value");
  expect.Eq(reg.DeleteValue(key, "Number"), kErrorFileNotFound, "delete missing value");
  expect.Eq(reg.DeleteKey(key, "Child"), kErrorSuccess, "delete subkey");
  reg.CloseKey(key);
  expect.Eq(reg.DeleteKey(kHkeyCurrentUser, kTestKey), kErrorSuccess, "delete key");
}

void RegistryPredefinedRoots(Environment& env, Expect& expect) {
  // Opening "" under a root hands back the root itself, in our numbering.
  Registry& reg = *env.os.registry;
  for (HKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers}) {
    HKey key = 0;
    expect.Eq(reg.OpenKey(root, "", &key), kErrorSuccess, "open root with empty subkey");
    expect.Eq(key, root, "root handed back unchanged");
  }
  HKey key = 0;
  expect.Eq(reg.OpenKey(kHkeyLocalMachine, "Software", &key), kErrorSuccess, "HKLM\\Software");
  reg.CloseKey(key);
  expect.Eq(reg.OpenKey(kHkeyLocalMachine, "\\Software", &key), kErrorBadPathname, "leading backslash");
  expect.Eq(reg.OpenKey(kHkeyLocalMachine, "Software", nullptr), kErrorInvalidParameter, "null out handle");
}

void ProfileSectionBuffer(Environment& env, Expect& expect) {
  Profiles& ini = *env.os.profiles;
  const std::string file = WriteBytes(*env.os.files, env.scratch + "test.ini",
                                      "[section1]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n");
  char buffer[100];
  std::memset(buffer, 'x', sizeof buffer);
  expect.Eq(ini.GetSection("section1", buffer, sizeof buffer, file.c_str()), 35u, "whole section");
  expect.Eq(std::string(buffer, 36), std::string("name1=val1\0name2=\0name3\0name4=val4\0\0", 36),
            "section text");
  std::memset(buffer, 'x', sizeof buffer);
  expect.Eq(ini.GetSection("section1", buffer, 24, file.c_str()), 22u, "section cut at size - 2");
  expect.Eq(std::string(buffer, 24), std::string("name1=val1\0name2=\0name\0\0", 24), "cut mid-entry");
  expect.Eq(ini.GetString("section1", "NAME4", "dflt", buffer, sizeof buffer, file.c_str()), 4u,
            "key any case");
  expect.Eq(std::string(buffer), std::string("val4"), "key value");
  expect.Eq(ini.GetString("section1", "none", "dflt", buffer, sizeof buffer, file.c_str()), 4u, "default");
  expect.Eq(std::string(buffer), std::string("dflt"), "default text");

  expect.True(ini.WriteSection("rename", "NUL=C:\\A.TMP\0NUL=C:\\B.TMP\0", file.c_str()), "write section");
  expect.Eq(ini.GetSection("rename", buffer, sizeof buffer, file.c_str()), 26u, "repeated keys kept");
  expect.True(ini.WriteString("section1", "name2", nullptr, file.c_str()), "delete key");
  expect.Eq(ini.GetString("section1", nullptr, "", buffer, sizeof buffer, file.c_str()), 12u, "key list");
  expect.Eq(std::string(buffer, 13), std::string("name1\0name4\0\0", 13), "keys left");
}

void FilesBasics(Environment& env, Expect& expect) {
  FileSystem& files = *env.os.files;
  const std::string a = WriteBytes(files, env.scratch + "a.txt", "0123456789");
  const std::string b = env.scratch + "b.txt";

  expect.True(files.CopyFile(a.c_str(), b.c_str(), true), "copy to a new name");
  files.SetLastError(0);
  expect.True(!files.CopyFile(a.c_str(), b.c_str(), true), "copy onto an existing file refused");
  expect.Eq(files.LastError(), kErrorFileExists, "error for an existing target");
  expect.True(files.CopyFile(a.c_str(), b.c_str(), false), "copy over an existing file");
  expect.True(!files.CopyFile((env.scratch + "none").c_str(), b.c_str(), false), "copy a missing file");
  expect.Eq(files.LastError(), kErrorFileNotFound, "error for a missing source");

  FindData found;
  expect.Eq(files.FindFirstFile((env.scratch + "nodir\\*.*").c_str(), &found), kInvalidFindHandle,
            "missing dir");
  expect.Eq(files.LastError(), kErrorPathNotFound, "error for a missing directory");
  expect.Eq(files.FindFirstFile((env.scratch + "*.none").c_str(), &found), kInvalidFindHandle, "no match");
  expect.Eq(files.LastError(), kErrorFileNotFound, "error for no match");
  FindHandle find = files.FindFirstFile((env.scratch + "?.TXT").c_str(), &found);
  expect.True(find != kInvalidFindHandle, "find ?.TXT");
  int count = 0;
  if (find != kInvalidFindHandle) {
    do {
      ++count;
      expect.Eq(found.size, std::uint64_t{10}, "found file size");
    } while (files.FindNextFile(find, &found));
    expect.Eq(files.LastError(), kErrorNoMoreFiles, "end of the search");
    files.FindClose(find);
  }
  expect.Eq(count, 2, "files found");

  char temp[kMaxPath] = {};
  expect.Eq(files.GetTempFileName(env.scratch.c_str(), "abcdef", 0x12AB, temp), 0x12ABu, "temp name number");
  // Windows writes the number in capitals, Wine in small letters: compared without regard to case.
  expect.Eq(Upper(temp), Upper(env.scratch + "abc12AB.tmp"), "temp name");
  expect.Eq(files.GetFileAttributes(temp), kInvalidFileAttributes, "a given number creates nothing");

  FileHandle file = files.OpenFile(a.c_str(), OpenMode::kRead);
  expect.True(file != kInvalidFileHandle, "open for reading");
  expect.Eq(files.GetFileSize(file), std::uint64_t{10}, "file size");
  expect.Eq(files.SeekFile(file, -3, SeekFrom::kEnd), std::int64_t{7}, "seek from the end");
  char bytes[8] = {};
  std::uint32_t read = 0;
  expect.True(files.ReadFile(file, bytes, sizeof bytes, &read), "read");
  expect.Eq(std::string(bytes, read), std::string("789"), "bytes read at the end");
  files.CloseFile(file);
  expect.Eq(files.OpenFile(a.c_str(), OpenMode::kCreateNew), kInvalidFileHandle,
            "create-new on an existing file");
  expect.Eq(files.LastError(), kErrorFileExists, "error of create-new");

  expect.True(files.SetFileAttributes(b.c_str(), kFileAttributeReadOnly), "make read-only");
  expect.True(!files.DeleteFile(b.c_str()), "read-only file not deleted");
  expect.Eq(files.LastError(), kErrorAccessDenied, "error deleting a read-only file");
  files.SetFileAttributes(b.c_str(), kFileAttributeNormal);
  expect.True(files.DeleteFile(b.c_str()), "delete after clearing read-only");

  std::uint32_t sectors = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  expect.True(files.GetDiskFreeSpace("C:\\", &sectors, &bytesPerSector, &freeClusters, &totalClusters),
              "GetDiskFreeSpace");
  expect.True(sectors && bytesPerSector && totalClusters, "disk geometry filled in");
  std::uint64_t freeToCaller = 0, total = 0, totalFree = 0;
  expect.True(files.GetDiskFreeSpaceEx(env.scratch.c_str(), &freeToCaller, &total, &totalFree),
              "GetDiskFreeSpaceEx on a folder");
  expect.True(total > 0 && freeToCaller <= total, "free space within the total");
}

void RiffDescendAscend(Environment& env, Expect& expect) {
  const std::string list = Chunk("LIST", "INFO" + Chunk("INAM", "abc"));
  const std::string file =
      WriteBytes(*env.os.files, env.scratch + "t.dls",
                 Chunk("RIFF", "DLS " + Chunk("colh", Le32(1)) + list + Chunk("data", "xyz")));
  RiffReader& riff = *env.os.riff;
  expect.Eq(riff.Open((env.scratch + "none.dls").c_str()), RiffHandle{0}, "open a missing file");
  RiffHandle h = riff.Open(file.c_str());
  expect.True(h != 0, "open");
  if (!h) return;
  ChunkInfo top;
  top.type = FourCc('D', 'L', 'S', ' ');
  expect.Eq(riff.Descend(h, &top, nullptr, kMmioFindRiff), 0u, "descend into RIFF DLS");
  expect.Eq(top.dataOffset, 8u, "RIFF data offset");
  expect.Eq(riff.Seek(h, 0, 1), 12, "position after the form type");
  ChunkInfo chunk;
  chunk.type = FourCc('I', 'N', 'F', 'O');
  expect.Eq(riff.Descend(h, &chunk, &top, kMmioFindList), 0u, "find LIST INFO");
  expect.Eq(chunk.dataOffset, 32u, "LIST data offset");
  ChunkInfo name;
  name.id = FourCc('I', 'N', 'A', 'M');
  expect.Eq(riff.Descend(h, &name, &chunk, kMmioFindChunk), 0u, "find INAM");
  char text[8] = {};
  expect.Eq(riff.Read(h, text, sizeof text), 8, "read runs on past the chunk");
  expect.Eq(std::string(text, 3), std::string("abc"), "INAM bytes");
  expect.Eq(riff.Ascend(h, &name), 0u, "ascend from INAM");
  expect.Eq(riff.Seek(h, 0, 1), 48, "past the pad byte");
  expect.Eq(riff.Ascend(h, &chunk), 0u, "ascend from LIST");
  ChunkInfo data;
  data.id = FourCc('d', 'a', 't', 'a');
  expect.Eq(riff.Descend(h, &data, &top, kMmioFindChunk), 0u, "find data after the LIST");
  expect.Eq(data.size, 3u, "data size");
  riff.Seek(h, 12, 0);
  ChunkInfo missing;
  missing.id = FourCc('n', 'o', 'n', 'e');
  expect.Eq(riff.Descend(h, &missing, &top, kMmioFindChunk), kMmioErrChunkNotFound, "missing chunk");
  expect.Eq(riff.Seek(h, 16, 2), 44, "SEEK_END subtracts the offset");
  riff.Close(h);
}

void VersionOfThisProgram(Environment& env, Expect& expect) {
  VersionInfo& versions = *env.os.versions;
  const std::string noResource = WriteBytes(*env.os.files, env.scratch + "plain.dll", "MZ");
  expect.Eq(versions.GetSize(noResource.c_str()), 0u, "file without a version resource");

  char exe[kMaxPath] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  const std::uint32_t size = versions.GetSize(exe);
  expect.True(size > 0, "size of this program's version resource");
  if (!size) return;
  std::vector<std::uint8_t> block(size);
  expect.True(versions.Get(exe, block), "read the version resource");
  const void* value = nullptr;
  std::uint32_t length = 0;
  expect.True(versions.Query(block, "\\StringFileInfo\\040904E4\\ProductVersion", &value, &length),
              "ProductVersion");
  if (value)
    expect.Eq(std::string(static_cast<const char*>(value)), std::string("1.00.09"), "ProductVersion text");
  expect.Eq(length, 8u, "ProductVersion length with its NUL");
  expect.True(versions.Query(block, "\\", &value, &length), "fixed file info");
  expect.Eq(length, 52u, "fixed file info length");
  expect.True(!versions.Query(block, "\\StringFileInfo\\040904E4\\Product", &value, &length), "partial key");
}

void Detections(Environment& env, Expect& expect, DetectionLibrary& detect) {
  char system[kMaxPath] = {};
  env.os.files->GetSystemDirectory(system, sizeof system);
  const std::string vxd = std::string(system) + "\\J6CVXD.VXD";
  env.os.files->DeleteFile(vxd.c_str());
  expect.Eq(detect.Detect(16), 0, "16 without J6CVXD.VXD");
  expect.Eq(detect.Detect(1), 0, "1");
  expect.Eq(detect.Detect(2), 0, "2: the card may be present");
  WriteBytes(*env.os.files, vxd, "MZ");
  expect.Eq(detect.Detect(16), 0x100, "16 with J6CVXD.VXD in the system directory");
  env.os.files->DeleteFile(vxd.c_str());
}

void DetectionStandIn(Environment& env, Expect& expect) {
  win32::LoadedDetectionLibrary loaded("DETECT32.DLL");
  expect.True(loaded.Valid(), "DETECT32.DLL export 2 found by ordinal");
  if (!loaded.Valid()) return;
  win32::BoundDetectionLibrary bound;
  for (DetectionLibrary* library :
       {static_cast<DetectionLibrary*>(&loaded), static_cast<DetectionLibrary*>(&bound)})
    Detections(env, expect, *library);
}
void ClockAndMissingFacilities(Environment& env, Expect& expect) {
  const std::uint32_t first = env.os.clock->TimeGetTime();
  env.os.processes->Wait(0);  // a null handle returns at once
  expect.True(env.os.clock->TimeGetTime() - first < 10000, "the clock moves forward slowly");
  expect.Eq(static_cast<int>(env.os.family), static_cast<int>(WindowsFamily::kNt), "NT family under 64-bit");
  expect.True(env.os.memory == nullptr, "no 32-bit address space in the 64-bit build");
  expect.True(env.os.services != nullptr, "services on NT");
  expect.Eq(env.os.ports->In8(0x220), std::uint8_t{0xFF}, "absent ports read all ones");
  expect.True(env.os.pciBios->InstallationCheck().carry, "no PCI BIOS");
  expect.Eq(env.os.devices->Open("\\\\.\\J6CVXD.VXD"), kInvalidDeviceHandle, "no virtual device");
}

void ProcessStartAndWait(Environment& env, Expect& expect) {
  const std::string marker = env.scratch + "ran.txt";
  const std::string command = "cmd.exe /c echo x> \"" + marker + "\"";
  ProcessHandle process = env.os.processes->Start(command.c_str(), kNormalPriorityClass);
  expect.True(process != kNoProcess, "start cmd.exe");
  if (process == kNoProcess) return;
  env.os.processes->Wait(process);
  env.os.processes->CloseHandle(process);
  expect.True(env.os.files->GetFileAttributes(marker.c_str()) != kInvalidFileAttributes, "the program ran");
  expect.Eq(env.os.processes->Start("no-such-program.exe", 0), kNoProcess, "missing program");
  expect.Eq(env.os.files->LastError(), kErrorFileNotFound, "error for a missing program");
}

void ServicesLifecycle(Environment& env, Expect& expect) {
  ServiceManager& scm = *env.os.services;
  ServiceHandle manager = scm.OpenManager();
  expect.True(manager != 0, "open the service manager");
  if (!manager) return;
  const char* name = "j6conftest";
  if (ServiceHandle old = scm.Open(manager, name)) {
    scm.Delete(old);
    scm.Close(old);
  }
  ServiceConfig config;
  config.type = kServiceKernelDriver;
  config.start = kServiceDemandStart;
  config.errorControl = kServiceErrorNormal;
  config.binaryPath = "System32\\drivers\\j6conf.sys";
  config.displayName = "J6 conformance driver";
  ServiceHandle service = scm.Create(manager, name, config);
  expect.True(service != 0, "create a driver service");
  expect.Eq(scm.Create(manager, name, config), ServiceHandle{0}, "create it twice");
  expect.Eq(scm.LastError(), kErrorServiceExists, "error for an existing service");
  ServiceConfig change;
  change.start = kServiceDisabled;
  expect.True(scm.ChangeConfig(service, change), "change the start type only");
  expect.True(!scm.Start(service), "start a disabled service");
  expect.Eq(scm.LastError(), kErrorServiceDisabled, "error for a disabled service");
  expect.True(!scm.Stop(service), "stop a service that does not run");
  expect.Eq(scm.LastError(), kErrorServiceNotActive, "error for a stopped service");

  HKey key = 0;
  const std::string path = std::string("System\\CurrentControlSet\\Services\\") + name;
  expect.Eq(env.os.registry->OpenKey(kHkeyLocalMachine, path.c_str(), &key), kErrorSuccess, "service key");
  std::uint8_t value[4] = {};
  std::uint32_t size = 4;
  expect.Eq(env.os.registry->QueryValue(key, "Start", nullptr, value, &size), kErrorSuccess, "Start value");
  expect.Eq(value[0], std::uint8_t{kServiceDisabled}, "Start written by the change");
  env.os.registry->CloseKey(key);

  expect.True(scm.Delete(service), "delete");
  expect.True(scm.Close(service), "close the service");
  expect.True(scm.Close(manager), "close the manager");
}

void FileQueueCopies(Environment& env, Expect& expect) {
  FileSystem& files = *env.os.files;
  files.CreateDirectory((env.scratch + "disk").c_str());
  WriteBytes(files, env.scratch + "disk\\one.dll", "first");
  WriteBytes(files, env.scratch + "disk\\two.dll", "second");
  WriteBytes(files, env.scratch + "out.dll", "old");
  FileQueue& queue = *env.os.fileQueue;
  FileQueueHandle q = queue.Open();
  expect.True(q != 0, "open a queue");
  if (!q) return;
  const std::string target = env.scratch + "target\\sub";
  expect.True(queue.QueueCopy(q, env.scratch.c_str(), "disk", "one.dll", target.c_str(), nullptr, 0),
              "queue a copy under the same name");
  expect.True(queue.QueueCopy(q, env.scratch.c_str(), "disk", "two.dll", env.scratch.c_str(), "out.dll", 0),
              "queue a copy under a new name");
  bool reboot = true;
  expect.True(queue.Commit(q, &reboot), "commit");
  expect.True(!reboot, "nothing in use");
  queue.Close(q);
  expect.True(files.GetFileAttributes((target + "\\one.dll").c_str()) != kInvalidFileAttributes,
              "copied into a new directory");
  FileHandle out = files.OpenFile((env.scratch + "out.dll").c_str(), OpenMode::kRead);
  char bytes[8] = {};
  std::uint32_t read = 0;
  files.ReadFile(out, bytes, sizeof bytes, &read);
  files.CloseFile(out);
  expect.Eq(std::string(bytes, read), std::string("second"), "existing target replaced");
}

}  // namespace

std::vector<BackendCase> BackendCases() {
  return {
      {"registry: create, values, enumeration, delete", RegistryRoundTrip},
      {"registry: predefined roots and bad arguments", RegistryPredefinedRoots},
      {"profiles: section buffer, keys, repeated NUL lines", ProfileSectionBuffer},
      {"files: copy, find, temp names, seek, read-only", FilesBasics},
      {"riff: descend, ascend, pad bytes, seek", RiffDescendAscend},
      {"version: resource of this program", VersionOfThisProgram},
      {"detection: stand-in DETECT32.DLL", DetectionStandIn},
      {"os: clock and facilities of a 64-bit NT", ClockAndMissingFacilities},
      {"processes: start and wait", ProcessStartAndWait},
      {"services: create, change, refuse start, delete", ServicesLifecycle},
      {"file queue: copy with the default callback", FileQueueCopies},
  };
}

}  // namespace conformance
