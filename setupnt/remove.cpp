#include "setupnt/remove.h"

#include <cstring>
#include <string>
#include <vector>

#include "setupnt/file_list.h"
#include "setupnt/templates.h"
#include "wizard/delete_key_tree.h"
#include "wizard/progress_window.h"

namespace setupnt {

namespace {

struct DriverName {
  const char* text;
  std::size_t compared;
};
constexpr DriverName DriverNamePrefixes[] = {{"j6fmdrv.dll", 11}, {"j6usrdrv.dll", 12}, {"j6usrjs.dll", 11}};

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
constexpr const char* kMediaResources = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\";

bool NamesUserModeDriver(const char* data) {
  for (const auto& driver : DriverNamePrefixes)
    if (StartsWithNoCase(data, driver.text, driver.compared)) return true;
  return false;
}

void ClearReadOnly(platform::Os& os, const std::string& path, std::uint32_t attributes) {
  if (attributes == platform::kInvalidFileAttributes) return;
  os.files->SetFileAttributes(path.c_str(), attributes & ~platform::kFileAttributeReadOnly);
}

}  // namespace

void DeleteValuesByData(platform::Os& os, const char* path) {
  auto* reg = os.registry;
  platform::HKey key = 0;
  if (reg->OpenKey(platform::kHkeyLocalMachine, path, &key) != 0) return;
  std::uint32_t values = 0, maxName = 0, maxData = 0;
  if (reg->QueryInfoKey(key, nullptr, nullptr, &values, &maxName, &maxData) != 0) {
    reg->CloseKey(key);
    return;
  }
  // One byte more than the longest data, and one more again so that data always ends in a NUL.
  std::vector<char> name(maxName + 1);
  std::vector<std::uint8_t> data(maxData + 2);
  for (std::uint32_t i = 0; i < values;) {
    std::fill(data.begin(), data.end(), 0);
    auto nameSize = static_cast<std::uint32_t>(name.size());
    auto dataSize = static_cast<std::uint32_t>(data.size() - 1);
    std::uint32_t type = 0;
    if (reg->EnumValue(key, i, name.data(), &nameSize, &type, data.data(), &dataSize) == 0 &&
        NamesUserModeDriver(reinterpret_cast<const char*>(data.data()))) {
      // The next value moves into this index, so it is examined again; a value that will not go is passed.
      if (reg->DeleteValue(key, name.data()) == 0) continue;
    }
    ++i;
  }
  reg->CloseKey(key);
}

void DeleteSubkeysByPrefix(platform::Os& os, platform::HKey root, const char* path, const char* prefix) {
  auto* reg = os.registry;
  platform::HKey key = 0;
  if (reg->OpenKey(root, path, &key) != 0) return;
  if (!prefix || !*prefix) {
    reg->CloseKey(key);
    return;
  }
  std::uint32_t subkeys = 0, maxName = 0;
  if (reg->QueryInfoKey(key, &subkeys, &maxName, nullptr, nullptr, nullptr) != 0) {
    reg->CloseKey(key);
    return;
  }
  std::vector<char> name(maxName + 1);
  std::size_t prefixLength = std::strlen(prefix);
  for (std::uint32_t i = 0; i < subkeys;) {
    auto nameSize = static_cast<std::uint32_t>(name.size());
    if (reg->EnumKey(key, i, name.data(), &nameSize) == 0 &&
        StartsWithNoCase(name.data(), prefix, prefixLength)) {
      wizard::DeleteKeyTree(*reg, key, name.data());
      // Gone: the next key has moved into this index. Still there: pass it rather than try forever.
      platform::HKey left = 0;
      if (reg->OpenKey(key, name.data(), &left) != 0) continue;
      reg->CloseKey(left);
    }
    ++i;
  }
  reg->CloseKey(key);
}

int DisableDriverService(platform::Os& os, const char* name) {
  auto* scm = os.services;
  if (!scm) return 0;
  platform::ServiceHandle manager = scm->OpenManager();
  if (!manager) return 0;
  platform::ServiceHandle service = scm->Open(manager, name);
  if (!service) {
    scm->Close(manager);
    return 1;
  }
  std::uint32_t state = 0;
  if (scm->QueryStatus(service, &state) && state != platform::kServiceStopped) scm->Stop(service);
  platform::ServiceConfig disabled;
  disabled.start = platform::kServiceDisabled;
  scm->ChangeConfig(service, disabled);
  scm->Close(service);
  scm->Close(manager);
  return 1;
}

bool DeleteOrDefer(platform::Os& os, const char* path) {
  if (os.files->DeleteFile(path)) return false;
  if (os.files->LastError() == platform::kErrorFileNotFound) return false;
  return os.files->MoveFileEx(path, nullptr, platform::kMoveFileDelayUntilReboot);
}

void RemoveDriverEntries(SetupState& state) {
  auto& os = state.os;
  auto* reg = os.registry;
  // Every step shows its own window over the ChoicePage: total 100, range 0 to 100, step 10.
  wizard::ProgressWindow progress(state.os.ui, ProgressWindowTemplate(), state.choicePage,
                                  "Removing drivers ...", 100, 0, 100, 10);
  progress.show();

  platform::HKey key = 0;
  if (reg->OpenKey(platform::kHkeyLocalMachine, (std::string(kCurrentVersion) + "drivers.desc").c_str(),
                   &key) == 0) {
    for (const auto& driver : DriverNamePrefixes) {
      reg->DeleteValue(key, driver.text);
      progress.stepBy(5);
    }
    reg->CloseKey(key);
  }
  DeleteValuesByData(os, (std::string(kCurrentVersion) + "Drivers32").c_str());
  progress.stepBy(0);
  DeleteValuesByData(os, (std::string(kCurrentVersion) + "Userinstallable.drivers").c_str());
  progress.advanceTo(50);
  std::string midi = std::string(kMediaResources) + "MIDI";
  DeleteSubkeysByPrefix(os, platform::kHkeyLocalMachine, midi.c_str(), "j6usrdrv.dll");
  progress.stepBy(0);
  DeleteSubkeysByPrefix(os, platform::kHkeyLocalMachine, midi.c_str(), "j6fmdrv.dll");
  progress.stepBy(0);
  DeleteSubkeysByPrefix(os, platform::kHkeyLocalMachine, (std::string(kMediaResources) + "Joystick").c_str(),
                        "j6usrjs.dll");
  progress.stepBy(0);
  DisableDriverService(os, "j6knldrv");
  progress.stepBy(0);
  DisableDriverService(os, "j6knljs");
  progress.finish();
}

void RemoveDriverFiles(SetupState& state) {
  auto& os = state.os;
  // Every step shows its own window over the ChoicePage: total 100, range 0 to 100, step 10.
  wizard::ProgressWindow progress(state.os.ui, ProgressWindowTemplate(), state.choicePage,
                                  "Removing Files ...", 100, 0, 100, 10);
  progress.show();
  std::string system = SystemDirectory(os);
  bool removal = state.installChoice == kChoiceRemove;

  if (state.fileList.Present()) {
    ForEachListedName(state.fileList, [&](const std::string& name) {
      std::string path =
          system + "\\" + (GoesToDriversDir(name, /*fromList=*/true) ? "drivers\\" : "") + name;
      std::uint32_t attributes = os.files->GetFileAttributes(path.c_str());
      if (attributes == platform::kInvalidFileAttributes) return;
      ClearReadOnly(os, path, attributes);
      // An update keeps the sample banks; the copy overwrites them.
      if (StartsWithNoCase(name.c_str(), "j6gm", 4) && !removal) return;
      if (DeleteOrDefer(os, path.c_str())) state.deferredDeletions.push_back(path);
      progress.stepBy(0);
    });
  } else {
    for (const char* entry : BuiltInFileTable) {
      std::string path = system + (GoesToDriversDir(entry, /*fromList=*/false) ? "\\drivers" : "") + entry;
      std::uint32_t attributes = os.files->GetFileAttributes(path.c_str());
      if (attributes == platform::kInvalidFileAttributes) continue;
      ClearReadOnly(os, path, attributes);
      if (DeleteOrDefer(os, path.c_str())) state.deferredDeletions.push_back(path);
      progress.stepBy(0);
    }
    if (removal) {
      std::vector<std::string> banks;
      platform::FindData data;
      platform::FindHandle find = os.files->FindFirstFile((system + "\\j6gm*.bin").c_str(), &data);
      if (find != platform::kInvalidFindHandle) {
        do banks.emplace_back(data.name);
        while (os.files->FindNextFile(find, &data));
        os.files->FindClose(find);
      }
      for (const auto& bank : banks) {
        std::string path = system + "\\" + bank;
        ClearReadOnly(os, path, os.files->GetFileAttributes(path.c_str()));
        if (!os.files->DeleteFile(path.c_str()))
          os.files->MoveFileEx(path.c_str(), nullptr, platform::kMoveFileDelayUntilReboot);
        progress.stepBy(0);
      }
    }
  }
  progress.finish();
}

}  // namespace setupnt
