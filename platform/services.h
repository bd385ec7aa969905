// The Windows NT service control manager (OpenSCManagerA, CreateServiceA, OpenServiceA, StartServiceA,
// ChangeServiceConfigA, ControlService, QueryServiceStatus, CloseServiceHandle). Failures return 0/false and
// leave the Win32 error code in LastError().
#pragma once

#include <cstdint>

namespace platform {

using ServiceHandle = std::uintptr_t;

constexpr std::uint32_t kServiceNoChange = 0xFFFFFFFF;
constexpr std::uint32_t kServiceKernelDriver = 0x1;
constexpr std::uint32_t kServiceBootStart = 0;
constexpr std::uint32_t kServiceSystemStart = 1;
constexpr std::uint32_t kServiceAutoStart = 2;
constexpr std::uint32_t kServiceDemandStart = 3;
constexpr std::uint32_t kServiceDisabled = 4;
constexpr std::uint32_t kServiceErrorNormal = 1;
constexpr std::uint32_t kServiceControlStop = 1;

// Current states, as QueryServiceStatus reports them.
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceRunning = 4;

struct ServiceConfig {
  std::uint32_t type = kServiceNoChange;
  std::uint32_t start = kServiceNoChange;
  std::uint32_t errorControl = kServiceNoChange;
  const char* binaryPath = nullptr;
  const char* group = nullptr;
  const char* displayName = nullptr;
};

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;

  virtual std::uint32_t LastError() const = 0;

  virtual ServiceHandle OpenManager() = 0;
  virtual ServiceHandle Create(ServiceHandle manager, const char* name, const ServiceConfig& config) = 0;
  virtual ServiceHandle Open(ServiceHandle manager, const char* name) = 0;
  virtual bool Start(ServiceHandle service) = 0;
  virtual bool Stop(ServiceHandle service) = 0;
  virtual bool ChangeConfig(ServiceHandle service, const ServiceConfig& config) = 0;
  virtual bool Delete(ServiceHandle service) = 0;
  // QueryServiceStatus: the current state (kServiceStopped, kServiceRunning, ...).
  virtual bool QueryStatus(ServiceHandle service, std::uint32_t* state) = 0;
  virtual bool Close(ServiceHandle handle) = 0;
};

}  // namespace platform
