// The Windows NT service control manager of a simulated PC. Services live where NT keeps them, under
// HKLM\System\CurrentControlSet\Services\<name> (Type, Start, ErrorControl, ImagePath, Group); what the
// registry does not hold (which services run, which are marked for deletion) is machine state, kept in
// services.json of the machine folder until the next restart.
//
// A key under Services counts as a service once it has a Type value: keys that only carry parameters
// (written by an installer before the service exists) are not services, as the real manager only loads
// what it created or found at boot.
//
// A running service's image file is in use on the drive, so it can be neither replaced nor deleted until
// the service stops or the machine restarts.
//
// Fault point "service.call": the next call fails with ERROR_ACCESS_DENIED.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/services.h"

namespace sim {

class Machine;

// The machine-wide part: running services and deletion marks.
class ServiceDatabase {
 public:
  explicit ServiceDatabase(Machine& machine);
  void Save();

  bool IsRunning(const std::string& name) const;
  void SetRunning(const std::string& name, bool running);
  bool IsMarkedForDelete(const std::string& name) const;
  void MarkForDelete(const std::string& name);
  void Unmark(const std::string& name);
  const std::set<std::string>& Running() const { return running_; }
  const std::set<std::string>& MarkedForDelete() const { return marked_; }

  // A restart: every service stops; marked services disappear with their keys; services whose start type is
  // boot, system or automatic start again when their image file exists.
  void Restart(platform::Registry& registry, platform::FileSystem& files);

 private:
  Machine& machine_;
  std::set<std::string> running_;  // upper-case names
  std::set<std::string> marked_;
};

// The manager as one process sees it: its own handles and last error.
class ServiceManagerSim : public platform::ServiceManager {
 public:
  ServiceManagerSim(Machine& machine, platform::Registry& registry, platform::FileSystem& files);
  ~ServiceManagerSim() override;

  std::uint32_t LastError() const override { return lastError_; }
  platform::ServiceHandle OpenManager() override;
  platform::ServiceHandle Create(platform::ServiceHandle manager, const char* name,
                                 const platform::ServiceConfig& config) override;
  platform::ServiceHandle Open(platform::ServiceHandle manager, const char* name) override;
  bool Start(platform::ServiceHandle service) override;
  bool Stop(platform::ServiceHandle service) override;
  bool ChangeConfig(platform::ServiceHandle service, const platform::ServiceConfig& config) override;
  bool Delete(platform::ServiceHandle service) override;
  bool QueryStatus(platform::ServiceHandle service, std::uint32_t* state) override;
  bool Close(platform::ServiceHandle handle) override;

 private:
  struct Handle {
    bool manager = false;
    std::string name;  // the service's name as created
  };

  bool Fail(std::uint32_t error);
  bool CallAllowed();
  const Handle* Find(platform::ServiceHandle handle, bool wantManager);
  bool Exists(const std::string& name, std::string* spelled = nullptr);
  std::uint32_t ReadDword(const std::string& name, const char* value, std::uint32_t fallback);
  std::string ReadText(const std::string& name, const char* value);
  // The image file of a service as a path on drive C.
  std::string ImageOf(const std::string& name);
  bool WriteConfig(const std::string& name, const platform::ServiceConfig& config);
  // Removes a marked service once no handle refers to it and it does not run.
  void ReapIfUnused(const std::string& name);

  Machine& machine_;
  platform::Registry& registry_;
  platform::FileSystem& files_;
  ServiceDatabase& database_;
  std::map<platform::ServiceHandle, Handle> handles_;
  platform::ServiceHandle nextHandle_ = 0x5C000;
  std::uint32_t lastError_ = 0;
};

// "\SystemRoot\System32\Drivers\x.sys" -> "C:\WINNT\System32\Drivers\x.sys"; "System32\..." likewise.
std::string ResolveImagePath(const std::string& imagePath, const std::string& windowsDir);

}  // namespace sim
