#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

SC_HANDLE AsService(ServiceHandle handle) {
  return reinterpret_cast<SC_HANDLE>(handle);
}
ServiceHandle FromService(SC_HANDLE handle) {
  return reinterpret_cast<ServiceHandle>(handle);
}

}  // namespace

std::uint32_t Win32ServiceManager::LastError() const {
  return GetLastError();
}

ServiceHandle Win32ServiceManager::OpenManager() {
  return FromService(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

ServiceHandle Win32ServiceManager::Create(ServiceHandle manager, const char* name,
                                          const ServiceConfig& config) {
  return FromService(CreateServiceA(AsService(manager), name, config.displayName, SERVICE_ALL_ACCESS,
                                    config.type, config.start, config.errorControl, config.binaryPath,
                                    config.group, nullptr, nullptr, nullptr, nullptr));
}

ServiceHandle Win32ServiceManager::Open(ServiceHandle manager, const char* name) {
  return FromService(OpenServiceA(AsService(manager), name, SERVICE_ALL_ACCESS));
}

bool Win32ServiceManager::Start(ServiceHandle service) {
  return StartServiceA(AsService(service), 0, nullptr);
}

bool Win32ServiceManager::Stop(ServiceHandle service) {
  SERVICE_STATUS status{};
  return ControlService(AsService(service), SERVICE_CONTROL_STOP, &status);
}

bool Win32ServiceManager::ChangeConfig(ServiceHandle service, const ServiceConfig& config) {
  return ChangeServiceConfigA(AsService(service), config.type, config.start, config.errorControl,
                              config.binaryPath, config.group, nullptr, nullptr, nullptr, nullptr,
                              config.displayName);
}

bool Win32ServiceManager::Delete(ServiceHandle service) {
  return DeleteService(AsService(service));
}

bool Win32ServiceManager::Close(ServiceHandle handle) {
  return CloseServiceHandle(AsService(handle));
}

}  // namespace platform::win32
