#include "sim/services.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "sim/drive.h"
#include "sim/faults.h"
#include "sim/kernel_driver.h"
#include "sim/machine.h"
#include "sim/machine_error.h"

namespace sim {

namespace {

// The card's kernel driver; what it does when it starts is modelled (sim/kernel_driver.h).
constexpr const char* kKernelDriverService = "J6KNLDRV";

constexpr const char* kServicesKey = "System\\CurrentControlSet\\Services";

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == Upper(prefix);
}

std::string KeyOf(const std::string& name) {
  return std::string(kServicesKey) + "\\" + name;
}

void SetDword(platform::Registry& registry, platform::HKey key, const char* name, std::uint32_t value) {
  std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  registry.SetValue(key, name, platform::kRegDword, bytes, 4);
}

void SetText(platform::Registry& registry, platform::HKey key, const char* name, std::uint32_t type,
             const std::string& text) {
  registry.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                    static_cast<std::uint32_t>(text.size() + 1));
}

// Deletes a key with everything below it (the NT registry refuses a key that still has subkeys).
void DeleteBranch(platform::Registry& registry, platform::HKey parent, const std::string& name) {
  platform::HKey key = 0;
  if (registry.OpenKey(parent, name.c_str(), &key) != 0) return;
  for (;;) {
    char child[256] = {};
    std::uint32_t size = sizeof child;
    if (registry.EnumKey(key, 0, child, &size) != 0) break;
    std::string before = child;
    DeleteBranch(registry, key, before);
    // A child that would not go ends the walk rather than looping on it.
    platform::HKey still = 0;
    if (registry.OpenKey(key, before.c_str(), &still) == 0) {
      registry.CloseKey(still);
      break;
    }
  }
  registry.CloseKey(key);
  registry.DeleteKey(parent, name.c_str());
}

}  // namespace

std::string ResolveImagePath(const std::string& imagePath, const std::string& windowsDir) {
  const std::string systemRoot = "\\SystemRoot\\";
  if (StartsWithNoCase(imagePath, systemRoot)) return windowsDir + "\\" + imagePath.substr(systemRoot.size());
  if (StartsWithNoCase(imagePath, "\\??\\")) return imagePath.substr(4);
  if (imagePath.size() >= 2 && imagePath[1] == ':') return imagePath;
  // A relative path is relative to the Windows directory, as the loader takes it.
  return windowsDir + "\\" + imagePath;
}

// ---------------------------------------------------------------------------------------------------------
// ServiceDatabase

ServiceDatabase::ServiceDatabase(Machine& machine) : machine_(machine) {
  auto file = machine.Dir() / "services.json";
  std::ifstream in(file);
  if (!in) return;
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(in);
    for (const auto& name : root.value("running", nlohmann::json::array())) running_.insert(Upper(name));
    for (const auto& name : root.value("markedForDelete", nlohmann::json::array()))
      marked_.insert(Upper(name));
  } catch (const nlohmann::json::exception& e) {
    throw MachineError(file.string() + ": " + e.what());
  }
}

void ServiceDatabase::Save() {
  auto file = machine_.Dir() / "services.json";
  if (running_.empty() && marked_.empty()) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return;
  }
  nlohmann::json root;
  root["running"] = std::vector<std::string>(running_.begin(), running_.end());
  root["markedForDelete"] = std::vector<std::string>(marked_.begin(), marked_.end());
  std::ofstream(file) << root.dump(2) << "\n";
}

bool ServiceDatabase::IsRunning(const std::string& name) const {
  return running_.count(Upper(name)) != 0;
}

void ServiceDatabase::SetRunning(const std::string& name, bool running) {
  if (running)
    running_.insert(Upper(name));
  else
    running_.erase(Upper(name));
}

bool ServiceDatabase::IsMarkedForDelete(const std::string& name) const {
  return marked_.count(Upper(name)) != 0;
}

void ServiceDatabase::MarkForDelete(const std::string& name) {
  marked_.insert(Upper(name));
}

void ServiceDatabase::Unmark(const std::string& name) {
  marked_.erase(Upper(name));
}

void ServiceDatabase::Restart(platform::Registry& registry, platform::FileSystem& files) {
  running_.clear();
  platform::HKey services = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, kServicesKey, &services) != 0) {
    marked_.clear();
    return;
  }
  for (const auto& name : marked_) DeleteBranch(registry, services, name);
  marked_.clear();

  char windows[platform::kMaxPath] = {};
  std::uint32_t length = files.GetWindowsDirectory(windows, sizeof windows);
  std::string windowsDir(windows, length < sizeof windows ? length : 0);
  for (std::uint32_t i = 0;; ++i) {
    char name[256] = {};
    std::uint32_t size = sizeof name;
    if (registry.EnumKey(services, i, name, &size) != 0) break;
    platform::HKey key = 0;
    if (registry.OpenKey(services, name, &key) != 0) continue;
    std::uint32_t type = 0, valueSize = 4;
    std::uint8_t bytes[4] = {};
    bool isService = registry.QueryValue(key, "Type", &type, bytes, &valueSize) == 0;
    char image[platform::kMaxPath * 2] = {};
    std::uint32_t imageSize = sizeof image - 1;
    if (isService && registry.QueryValue(key, "ImagePath", &type, reinterpret_cast<std::uint8_t*>(image),
                                         &imageSize) == 0) {
      std::string path = ResolveImagePath(image, windowsDir);
      auto& drive = machine_.Get<Drive>();
      drive.SetInUse(path, false);
      valueSize = 4;
      std::uint32_t start = platform::kServiceDemandStart;
      if (registry.QueryValue(key, "Start", &type, bytes, &valueSize) == 0 && valueSize == 4)
        start = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
      if (start <= platform::kServiceAutoStart &&
          files.GetFileAttributes(path.c_str()) != platform::kInvalidFileAttributes) {
        running_.insert(Upper(name));
        drive.SetInUse(path, true);
      }
    }
    registry.CloseKey(key);
  }
  registry.CloseKey(services);
  if (running_.count(kKernelDriverService)) KernelDriverStarts(machine_);
}

// ---------------------------------------------------------------------------------------------------------
// ServiceManagerSim

ServiceManagerSim::ServiceManagerSim(Machine& machine, platform::Registry& registry,
                                     platform::FileSystem& files)
    : machine_(machine), registry_(registry), files_(files), database_(machine.Get<ServiceDatabase>()) {}

ServiceManagerSim::~ServiceManagerSim() {
  std::vector<std::string> names;
  for (const auto& [handle, entry] : handles_)
    if (!entry.manager) names.push_back(entry.name);
  handles_.clear();
  for (const auto& name : names) ReapIfUnused(name);
}

bool ServiceManagerSim::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

bool ServiceManagerSim::CallAllowed() {
  if (!machine_.IsNt()) return Fail(platform::kErrorCallNotImplemented);
  if (machine_.GetFaults().ShouldFail(fault::kServiceCall)) return Fail(platform::kErrorAccessDenied);
  return true;
}

const ServiceManagerSim::Handle* ServiceManagerSim::Find(platform::ServiceHandle handle, bool wantManager) {
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.manager != wantManager) {
    lastError_ = platform::kErrorInvalidHandle;
    return nullptr;
  }
  return &it->second;
}

bool ServiceManagerSim::Exists(const std::string& name, std::string* spelled) {
  platform::HKey key = 0;
  if (registry_.OpenKey(platform::kHkeyLocalMachine, KeyOf(name).c_str(), &key) != 0) return false;
  std::uint32_t type = 0, size = 4;
  std::uint8_t bytes[4] = {};
  bool found = registry_.QueryValue(key, "Type", &type, bytes, &size) == 0;
  registry_.CloseKey(key);
  if (found && spelled) {
    // The name as the key spells it.
    platform::HKey services = 0;
    *spelled = name;
    if (registry_.OpenKey(platform::kHkeyLocalMachine, kServicesKey, &services) == 0) {
      for (std::uint32_t i = 0;; ++i) {
        char child[256] = {};
        std::uint32_t childSize = sizeof child;
        if (registry_.EnumKey(services, i, child, &childSize) != 0) break;
        if (Upper(child) == Upper(name)) {
          *spelled = child;
          break;
        }
      }
      registry_.CloseKey(services);
    }
  }
  return found;
}

std::uint32_t ServiceManagerSim::ReadDword(const std::string& name, const char* value,
                                           std::uint32_t fallback) {
  platform::HKey key = 0;
  if (registry_.OpenKey(platform::kHkeyLocalMachine, KeyOf(name).c_str(), &key) != 0) return fallback;
  std::uint32_t type = 0, size = 4;
  std::uint8_t bytes[4] = {};
  std::uint32_t result = fallback;
  if (registry_.QueryValue(key, value, &type, bytes, &size) == 0 && size == 4)
    result = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  registry_.CloseKey(key);
  return result;
}

std::string ServiceManagerSim::ReadText(const std::string& name, const char* value) {
  platform::HKey key = 0;
  if (registry_.OpenKey(platform::kHkeyLocalMachine, KeyOf(name).c_str(), &key) != 0) return {};
  std::uint32_t type = 0, size = 0;
  std::string result;
  if (registry_.QueryValue(key, value, &type, nullptr, &size) == 0 && size > 0) {
    std::vector<std::uint8_t> data(size + 1, 0);
    if (registry_.QueryValue(key, value, &type, data.data(), &size) == 0)
      result = reinterpret_cast<const char*>(data.data());
  }
  registry_.CloseKey(key);
  return result;
}

bool ServiceManagerSim::WriteConfig(const std::string& name, const platform::ServiceConfig& config) {
  platform::HKey key = 0;
  if (registry_.CreateKey(platform::kHkeyLocalMachine, KeyOf(name).c_str(), &key) != 0)
    return Fail(platform::kErrorAccessDenied);
  if (config.type != platform::kServiceNoChange) SetDword(registry_, key, "Type", config.type);
  if (config.start != platform::kServiceNoChange) SetDword(registry_, key, "Start", config.start);
  if (config.errorControl != platform::kServiceNoChange)
    SetDword(registry_, key, "ErrorControl", config.errorControl);
  if (config.binaryPath) SetText(registry_, key, "ImagePath", platform::kRegExpandSz, config.binaryPath);
  if (config.group) SetText(registry_, key, "Group", platform::kRegSz, config.group);
  if (config.displayName) SetText(registry_, key, "DisplayName", platform::kRegSz, config.displayName);
  registry_.CloseKey(key);
  return true;
}

void ServiceManagerSim::ReapIfUnused(const std::string& name) {
  if (!database_.IsMarkedForDelete(name) || database_.IsRunning(name)) return;
  for (const auto& [handle, entry] : handles_)
    if (!entry.manager && Upper(entry.name) == Upper(name)) return;
  platform::HKey services = 0;
  if (registry_.OpenKey(platform::kHkeyLocalMachine, kServicesKey, &services) != 0) return;
  DeleteBranch(registry_, services, name);
  registry_.CloseKey(services);
  // Programs on one simulated PC run one after another, so no other process holds a handle now.
  database_.Unmark(name);
}

std::string ServiceManagerSim::ImageOf(const std::string& name) {
  char windows[platform::kMaxPath] = {};
  std::uint32_t length = files_.GetWindowsDirectory(windows, sizeof windows);
  return ResolveImagePath(ReadText(name, "ImagePath"),
                          std::string(windows, length < sizeof windows ? length : 0));
}

platform::ServiceHandle ServiceManagerSim::OpenManager() {
  if (!CallAllowed()) return 0;
  platform::ServiceHandle handle = nextHandle_ += 4;
  handles_[handle] = Handle{true, {}};
  lastError_ = 0;
  return handle;
}

platform::ServiceHandle ServiceManagerSim::Create(platform::ServiceHandle manager, const char* name,
                                                  const platform::ServiceConfig& config) {
  if (!Find(manager, true)) return 0;
  if (!CallAllowed()) return 0;
  if (!name || !*name || std::string(name).find_first_of("\\/") != std::string::npos)
    return Fail(platform::kErrorInvalidName), 0;
  if (!config.binaryPath || !*config.binaryPath) return Fail(platform::kErrorInvalidParameter), 0;
  if (database_.IsMarkedForDelete(name)) return Fail(platform::kErrorServiceMarkedForDelete), 0;
  if (Exists(name)) return Fail(platform::kErrorServiceExists), 0;
  platform::ServiceConfig full = config;
  if (full.type == platform::kServiceNoChange || full.start == platform::kServiceNoChange ||
      full.errorControl == platform::kServiceNoChange)
    return Fail(platform::kErrorInvalidParameter), 0;
  // Boot and system start belong to drivers only.
  if (full.start <= platform::kServiceSystemStart && !(full.type & 0x3))
    return Fail(platform::kErrorInvalidParameter), 0;
  if (!WriteConfig(name, full)) return 0;
  platform::ServiceHandle handle = nextHandle_ += 4;
  handles_[handle] = Handle{false, name};
  lastError_ = 0;
  return handle;
}

platform::ServiceHandle ServiceManagerSim::Open(platform::ServiceHandle manager, const char* name) {
  if (!Find(manager, true)) return 0;
  if (!CallAllowed()) return 0;
  std::string spelled;
  if (!name || !*name) return Fail(platform::kErrorInvalidName), 0;
  if (!Exists(name, &spelled)) return Fail(platform::kErrorServiceDoesNotExist), 0;
  platform::ServiceHandle handle = nextHandle_ += 4;
  handles_[handle] = Handle{false, spelled};
  lastError_ = 0;
  return handle;
}

bool ServiceManagerSim::Start(platform::ServiceHandle service) {
  const Handle* entry = Find(service, false);
  if (!entry) return false;
  if (!CallAllowed()) return false;
  const std::string name = entry->name;
  if (database_.IsMarkedForDelete(name)) return Fail(platform::kErrorServiceMarkedForDelete);
  if (ReadDword(name, "Start", platform::kServiceDemandStart) == platform::kServiceDisabled)
    return Fail(platform::kErrorServiceDisabled);
  if (database_.IsRunning(name)) return Fail(platform::kErrorServiceAlreadyRunning);
  std::string image = ImageOf(name);
  if (files_.GetFileAttributes(image.c_str()) == platform::kInvalidFileAttributes)
    return Fail(platform::kErrorPathNotFound);
  database_.SetRunning(name, true);
  if (Upper(name) == kKernelDriverService) KernelDriverStarts(machine_);
  // A loaded driver's image cannot be replaced or deleted until it stops.
  machine_.Get<Drive>().SetInUse(image, true);
  lastError_ = 0;
  return true;
}

bool ServiceManagerSim::Stop(platform::ServiceHandle service) {
  const Handle* entry = Find(service, false);
  if (!entry) return false;
  if (!CallAllowed()) return false;
  if (!database_.IsRunning(entry->name)) return Fail(platform::kErrorServiceNotActive);
  database_.SetRunning(entry->name, false);
  machine_.Get<Drive>().SetInUse(ImageOf(entry->name), false);
  lastError_ = 0;
  return true;
}

bool ServiceManagerSim::ChangeConfig(platform::ServiceHandle service, const platform::ServiceConfig& config) {
  const Handle* entry = Find(service, false);
  if (!entry) return false;
  if (!CallAllowed()) return false;
  if (database_.IsMarkedForDelete(entry->name)) return Fail(platform::kErrorServiceMarkedForDelete);
  std::uint32_t type =
      config.type != platform::kServiceNoChange ? config.type : ReadDword(entry->name, "Type", 0);
  std::uint32_t start =
      config.start != platform::kServiceNoChange ? config.start : ReadDword(entry->name, "Start", 0);
  if (start > platform::kServiceDisabled || (start <= platform::kServiceSystemStart && !(type & 0x3)))
    return Fail(platform::kErrorInvalidParameter);
  if (!WriteConfig(entry->name, config)) return false;
  lastError_ = 0;
  return true;
}

bool ServiceManagerSim::Delete(platform::ServiceHandle service) {
  const Handle* entry = Find(service, false);
  if (!entry) return false;
  if (!CallAllowed()) return false;
  if (database_.IsMarkedForDelete(entry->name)) return Fail(platform::kErrorServiceMarkedForDelete);
  database_.MarkForDelete(entry->name);
  lastError_ = 0;
  return true;
}

bool ServiceManagerSim::QueryStatus(platform::ServiceHandle service, std::uint32_t* state) {
  const Handle* entry = Find(service, false);
  if (!entry) return false;
  if (!CallAllowed()) return false;
  if (!state) return Fail(platform::kErrorInvalidParameter);
  *state = database_.IsRunning(entry->name) ? platform::kServiceRunning : platform::kServiceStopped;
  lastError_ = 0;
  return true;
}

bool ServiceManagerSim::Close(platform::ServiceHandle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(platform::kErrorInvalidHandle);
  std::string name = it->second.manager ? std::string() : it->second.name;
  handles_.erase(it);
  if (!name.empty()) ReapIfUnused(name);
  return true;
}

}  // namespace sim
