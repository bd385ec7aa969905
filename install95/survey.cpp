#include "install95/survey.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace install95 {

namespace {

const char kProductVersion[] = "\\StringFileInfo\\040904E4\\ProductVersion";

std::string Directory(platform::Os& os, std::uint32_t (platform::FileSystem::*get)(char*, std::uint32_t)) {
  char buffer[platform::kMaxPath] = {};
  std::uint32_t length = (os.files->*get)(buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string();
}

std::string CurrentDirectory(platform::Os& os) {
  char buffer[platform::kMaxPath] = {};
  std::uint32_t length = os.files->GetCurrentDirectory(sizeof buffer, buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string();
}

std::string Join(const std::string& dir, const char* name) {
  if (!dir.empty() && dir.back() == '\\') return dir + name;
  return dir + "\\" + name;
}

// The ProductVersion of a file's version resource; false when any step fails.
bool ProductVersion(platform::Os& os, const std::string& path, std::vector<std::uint8_t>* block,
                    const char** text) {
  if (!os.versions) return false;
  std::uint32_t size = os.versions->GetSize(path.c_str());
  if (size == 0) return false;
  block->assign(size, 0);
  if (!os.versions->Get(path.c_str(), *block)) return false;
  const void* value = nullptr;
  std::uint32_t length = 0;
  if (!os.versions->Query(*block, kProductVersion, &value, &length) || !value) return false;
  // The text must end inside the block; a damaged resource must not lead the reader past it.
  const char* start = static_cast<const char*>(value);
  const char* end = reinterpret_cast<const char*>(block->data() + block->size());
  if (start < reinterpret_cast<const char*>(block->data()) || start >= end ||
      !std::memchr(start, 0, end - start))
    return false;
  *text = start;
  return true;
}

void Delay(platform::PortIo& ports) {
  for (int i = 0; i < 2000; ++i) {
    ports.In8(0x279);
    ports.In8(0x279);
  }
}

void WaitForKey(platform::PortIo& ports) {
  ports.Out8(0x279, 0x02);
  ports.Out8(0xA79, 0x02);
  Delay(ports);
}

}  // namespace

std::int32_t Detect(platform::Os& os, std::int32_t what) {
  return os.detection ? os.detection->Detect(what) : 0;
}

int ChoosePage(int driverInstalled, int cardPresent, int dosUtilitiesInstalled) {
  if (driverInstalled) return cardPresent ? 102 : 145;
  if (cardPresent) return dosUtilitiesInstalled ? 146 : 148;
  return dosUtilitiesInstalled ? 147 : 140;
}

int RunSurvey(InstallerApp& app, SurveyResult* out) {
  platform::Os& os = app.os;
  SurveyResult result;
  if (Detect(os, 16) & 0x100) {
    result.driverInstalled = 1;
    char version[platform::kMaxPath] = {};
    if (ReadInstalledVxdVersion(os, version) && std::strstr(version, "1.00.08")) {
      if (out) *out = result;
      return 151;
    }
  }
  if (!result.driverInstalled) {
    std::string vxd = Join(Directory(os, &platform::FileSystem::GetSystemDirectory), "J6CVXD.VXD");
    if (os.files->GetFileAttributes(vxd.c_str()) != platform::kInvalidFileAttributes)
      result.driverInstalled = 1;
  }
  {
    std::string legacy = Join(Directory(os, &platform::FileSystem::GetWindowsDirectory), "J6LEGACY.COM");
    platform::FindData found;
    platform::FindHandle find = os.files->FindFirstFile(legacy.c_str(), &found);
    if (find != platform::kInvalidFindHandle) {
      result.dosUtilitiesInstalled = 1;
      os.files->FindClose(find);
    }
  }
  if (PciBiosPresent(os)) {
    if (PciFindDevice(os, 0x7A4E, 0xE100, 0)) result.cardPresent = 1;
    if (PciFindDevice(os, 0x8086, 0x7110, 0) && !PciFindDevice(os, 0x8086, 0x7180, 0) &&
        !PciFindDevice(os, 0x8086, 0x7182, 0))
      app.chipsetFlag = 1;
    if (PciFindDevice(os, 0x100B, 0x0011, 0) || PciFindDevice(os, 0x1106, 0x0586, 0)) app.chipsetFlag = 1;
  }
  if (ProbeIsaCard(os)) {
    result.cardPresent = 1;
    app.isaCard = 1;
  }
  result.isaCard = app.isaCard;
  result.chipsetFlag = app.chipsetFlag;
  if (out) *out = result;
  return ChoosePage(result.driverInstalled, result.cardPresent, result.dosUtilitiesInstalled);
}

int ReadInstalledVxdVersion(platform::Os& os, char* buffer) {
  std::string path = Join(Directory(os, &platform::FileSystem::GetSystemDirectory), "j6cvxd.vxd");
  std::vector<std::uint8_t> block;
  const char* text = nullptr;
  if (!ProductVersion(os, path, &block, &text)) return 0;
  // At most what the 260-character buffer holds.
  std::size_t length = std::strlen(text);
  if (length > platform::kMaxPath - 1) length = platform::kMaxPath - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = 0;
  return 1;
}

int CompareVersionText(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = std::tolower(static_cast<unsigned char>(*a));
    int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

int CompareVxdVersions(platform::Os& os) {
  std::string installedPath = Join(Directory(os, &platform::FileSystem::GetSystemDirectory), "j6cvxd.vxd");
  std::string newPath = Join(CurrentDirectory(os), "j6cvxd.vxd");
  std::vector<std::uint8_t> installedBlock, newBlock;
  const char* installed = nullptr;
  const char* fresh = nullptr;
  if (!ProductVersion(os, installedPath, &installedBlock, &installed)) return 1;
  if (!ProductVersion(os, newPath, &newBlock, &fresh)) return 1;
  return CompareVersionText(installed, fresh) > 0 ? 0 : 1;
}

std::uint16_t PciBiosPresent(platform::Os& os) {
  if (!os.pciBios) return 0;
  auto r = os.pciBios->InstallationCheck();
  if (r.carry || r.ah != 0 || (r.edx & 0xFFFFFF) != 0x494350) return 0;
  return r.bx;
}

int PciFindDevice(platform::Os& os, std::uint16_t vendor, std::uint16_t device, std::uint16_t index) {
  return os.pciBios && os.pciBios->FindDevice(vendor, device, index) == 0 ? 1 : 0;
}

int ProbeIsaCard(platform::Os& os) {
  if (!os.ports) return 0;
  platform::PortIo& ports = *os.ports;
  WaitForKey(ports);
  ports.Out8(0x279, 0x00);
  ports.Out8(0x279, 0x00);
  for (std::uint8_t key : {0x3C, 0x91, 0x5E, 0xA7}) ports.Out8(0x679, key);
  Delay(ports);
  ports.Out8(0x279, 0x00);
  ports.Out8(0xA79, 0x273 >> 2);
  Delay(ports);
  std::uint8_t id[9];
  for (std::uint8_t& byte : id) {
    ports.Out8(0x279, 0x05);
    byte = 0xFF;
    for (int poll = 0; poll < 1000; ++poll) {
      if (ports.In8(0x273) & 0x01) {
        ports.Out8(0x279, 0x04);
        byte = ports.In8(0x273);
        break;
      }
    }
  }
  WaitForKey(ports);
  return id[0] == 0x46 && id[1] == 0x4C ? 1 : 0;
}

}  // namespace install95
