#include "setupnt/install.h"

#include <cstring>
#include <string>
#include <vector>

#include "setupnt/file_list.h"
#include "setupnt/templates.h"
#include "wizard/page_frame.h"
#include "wizard/progress_window.h"

namespace setupnt {

namespace {

constexpr const char* kKernelDriver = "j6knldrv";
constexpr const char* kJoystickDriver = "j6knljs";
constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services\\";

// The ProductVersion text of a file's version resource; false when it has none.
bool ReadProductVersion(platform::Os& os, const std::string& path, std::string* version) {
  if (!os.versions) return false;
  std::uint32_t size = os.versions->GetSize(path.c_str());
  if (size == 0) return false;
  std::vector<std::uint8_t> block(size);
  if (!os.versions->Get(path.c_str(), block)) return false;
  const void* value = nullptr;
  std::uint32_t length = 0;
  if (!os.versions->Query(block, "\\StringFileInfo\\040904B0\\ProductVersion", &value, &length) || !value)
    return false;
  // The value lies inside the block; never read past it.
  const auto* text = static_cast<const char*>(value);
  const auto* blockEnd = reinterpret_cast<const char*>(block.data() + block.size());
  if (text < reinterpret_cast<const char*>(block.data()) || text >= blockEnd) return false;
  *version = std::string(text, strnlen(text, static_cast<std::size_t>(blockEnd - text)));
  return true;
}

// The name of the first file matching `pattern`, as the file system spells it.
bool FindFirstName(platform::Os& os, const std::string& pattern, std::string* name) {
  platform::FindData data;
  platform::FindHandle find = os.files->FindFirstFile(pattern.c_str(), &data);
  if (find == platform::kInvalidFindHandle) return false;
  os.files->FindClose(find);
  *name = data.name;
  return true;
}

void QueueOne(const SetupState& state, platform::FileQueueHandle queue, const std::string& sourceRoot,
              const std::string& fileName, const std::string& targetDir) {
  std::string target = targetDir;
  if (target.empty() || target.back() != '\\') target += '\\';
  target += fileName;
  std::uint32_t style = platform::kSpCopyInUseNeedsReboot;
  // The old file goes at the restart: the new one must come after it, as it does for a file in use.
  for (const auto& deferred : state.deferredDeletions)
    if (CompareNoCase(deferred.c_str(), target.c_str()) == 0) style |= platform::kSpCopyForceInUse;
  state.os.fileQueue->QueueCopy(queue, sourceRoot.c_str(), nullptr, fileName.c_str(), targetDir.c_str(),
                                fileName.c_str(), style);
}

std::uint32_t SetDword(platform::Os& os, platform::HKey key, const char* name, std::uint32_t value) {
  std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return os.registry->SetValue(key, name, platform::kRegDword, bytes, sizeof bytes);
}

}  // namespace

bool IsUpdateNeeded(SetupState& state) {
  auto& os = state.os;
  std::string installed, fresh;
  if (!ReadProductVersion(os, SystemDirectory(os) + "\\drivers\\j6knldrv.sys", &installed)) return true;
  if (!ReadProductVersion(os, CurrentDirectory(os) + "\\j6knldrv.sys", &fresh)) return true;
  // A text comparison: "4.10" counts as older than "4.9".
  return CompareNoCase(installed.c_str(), fresh.c_str()) < 0;
}

void CopyDriverFiles(SetupState& state) {
  auto& os = state.os;
  if (!os.fileQueue) return;
  platform::FileQueueHandle queue = os.fileQueue->Open();
  if (queue == 0 || queue == ~platform::FileQueueHandle{0}) return;

  std::string current = CurrentDirectory(os);
  std::string system = SystemDirectory(os);
  std::string name;
  if (state.fileList.Present()) {
    ForEachListedName(state.fileList, [&](const std::string& listed) {
      if (!FindFirstName(os, current + "\\" + listed, &name)) return;
      QueueOne(state, queue, current + "\\", name,
               system + "\\" + (GoesToDriversDir(listed, /*fromList=*/true) ? "drivers\\" : ""));
    });
  } else {
    for (const char* entry : BuiltInFileTable) {
      if (!FindFirstName(os, current + entry, &name)) continue;
      QueueOne(state, queue, current, name,
               system + (GoesToDriversDir(entry, /*fromList=*/false) ? "\\drivers" : ""));
    }
    platform::FindData data;
    platform::FindHandle find = os.files->FindFirstFile((current + "\\j6gm*.bin").c_str(), &data);
    if (find != platform::kInvalidFindHandle) {
      do {
        QueueOne(state, queue, current, data.name, system);
      } while (os.files->FindNextFile(find, &data));
      os.files->FindClose(find);
    }
  }
  // The default handler deals with problems itself; nothing here depends on the outcome.
  os.fileQueue->Commit(queue, nullptr);
  os.fileQueue->Close(queue);
}

std::uint32_t CreateDriverService(platform::Os& os, const char* name, const char* group) {
  auto* scm = os.services;
  if (!scm) return platform::kErrorCallNotImplemented;
  platform::ServiceHandle manager = scm->OpenManager();
  if (!manager) return scm->LastError();

  std::string imagePath = std::string("\\SystemRoot\\System32\\Drivers\\") + name + ".sys";
  platform::ServiceConfig config;
  config.type = platform::kServiceKernelDriver;
  config.start = platform::kServiceDemandStart;
  config.errorControl = platform::kServiceErrorNormal;
  config.binaryPath = imagePath.c_str();
  config.group = group;
  platform::ServiceHandle service = scm->Create(manager, name, config);
  if (!service) {
    std::uint32_t error = scm->LastError();
    if (error != platform::kErrorServiceExists) {
      scm->Close(manager);
      return error;
    }
    service = scm->Open(manager, name);
    if (!service) {
      error = scm->LastError();
      scm->Close(manager);
      return error;
    }
    // An existing service keeps its image path and group.
    platform::ServiceConfig demand;
    demand.start = platform::kServiceDemandStart;
    scm->ChangeConfig(service, demand);
  }
  scm->Close(service);
  scm->Close(manager);
  return 0;
}

std::uint32_t StartDriverService(platform::Os& os, const char* name) {
  auto* scm = os.services;
  if (!scm) return platform::kErrorCallNotImplemented;
  platform::ServiceHandle manager = scm->OpenManager();
  if (!manager) return scm->LastError();
  platform::ServiceHandle service = scm->Open(manager, name);
  if (!service) {
    std::uint32_t error = scm->LastError();
    scm->Close(manager);
    return error;
  }
  bool started = scm->Start(service);
  std::uint32_t error = started ? 0 : scm->LastError();
  // A driver that fails for want of its hardware is still loaded at the next boot; only a service on its
  // way out or one without its file is left alone.
  if (started || (error != platform::kErrorServiceMarkedForDelete && error != platform::kErrorPathNotFound)) {
    platform::ServiceConfig system;
    system.start = platform::kServiceSystemStart;
    scm->ChangeConfig(service, system);
  }
  scm->Close(service);
  scm->Close(manager);
  return 0;
}

void CreateDeviceKey(platform::Os& os) {
  platform::HKey key = 0;
  std::string path = std::string(kServicesKey) + kKernelDriver + "\\Parameters\\Device0";
  if (os.registry->CreateKey(platform::kHkeyLocalMachine, path.c_str(), &key) == 0)
    os.registry->CloseKey(key);
  StartDriverService(os, kKernelDriver);
}

void WriteJoystickParameters(platform::Os& os) {
  platform::HKey key = 0;
  std::string path = std::string(kServicesKey) + kJoystickDriver + "\\Parameters";
  bool opened = os.registry->CreateKey(platform::kHkeyLocalMachine, path.c_str(), &key) == 0;
  if (opened) {
    SetDword(os, key, "DeviceAddress", 0);
    SetDword(os, key, "Two Joysticks", 0);
    SetDword(os, key, "Has Throttle", 0);
    SetDword(os, key, "Has Rudder", 0);
    SetDword(os, key, "NumberOfAxes", 2);
  }
  StartDriverService(os, kJoystickDriver);
  if (opened) os.registry->CloseKey(key);
}

void SetMidiMapperInstrument(platform::Os& os) {
  platform::HKey key = 0;
  if (os.registry->CreateKey(platform::kHkeyCurrentUser,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap", &key) != 0)
    return;
  static const char kInstrument[] = "j6usrdrv.dll<0000>";
  os.registry->SetValue(key, "CurrentInstrument", platform::kRegSz,
                        reinterpret_cast<const std::uint8_t*>(kInstrument), sizeof kInstrument);
  os.registry->CloseKey(key);
}

void RegisterDrivers(SetupState& state) {
  auto& os = state.os;
  // Every step shows its own window over the ChoicePage: total 100, range 0 to 100, step 10.
  wizard::ProgressWindow progress(state.os.ui, ProgressWindowTemplate(), state.choicePage,
                                  "Installing new drivers ...", 100, 0, 100, 10);
  progress.show();

  // The import runs on its own; nothing below depends on it.
  if (os.processes) {
    std::string command = WindowsDirectory(os) + "\\regedit /s j6audio.reg";
    platform::ProcessHandle process = os.processes->Start(command.c_str(), 0);
    if (process != platform::kNoProcess) os.processes->CloseHandle(process);
  }
  progress.stepBy(0);
  CreateDriverService(os, kKernelDriver, "Base");
  progress.advanceTo(30);
  CreateDeviceKey(os);
  progress.stepBy(0);
  CreateDriverService(os, kJoystickDriver, "Extended Base");
  progress.stepBy(0);
  WriteJoystickParameters(os);
  progress.stepBy(0);
  SetMidiMapperInstrument(os);
  progress.stepBy(90);
  wizard::EnableTrayVolume(os);
  progress.finish();
}

}  // namespace setupnt
