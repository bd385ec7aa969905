// The DLS exports of j6base over the calling process.
#include "basedrv/dls/dls_api.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/j6base.h"

namespace j6base {

namespace {
dls::ReadPlace* g_readPlace = nullptr;
}

void SetDlsReadPlace(dls::ReadPlace* place) {
  g_readPlace = place;
}

dls::DlsApiHost CurrentDlsApiHost() {
  dls::DlsApiHost host;
  host.env = CurrentDlsEnv();
  ProcessContext* process = CurrentProcess();
  if (process) {
    host.riff = process->Os().riff;
    host.files = process->Os().files;
  }
  host.setRamSize = [](const std::uint32_t* size) { return DlsSetRamSize(size); };
  host.place = g_readPlace;
  return host;
}

}  // namespace j6base

extern "C" {

uint32_t J6API DLSOpen(uint32_t* handle, uint32_t) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsOpen(host, handle);
}
uint32_t J6API DLSClose(uint32_t handle, uint32_t flags) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsClose(host, handle, flags);
}
uint32_t J6API DLSLoadFile(uint32_t handle, uint32_t flags, uint32_t* collection, const char* fileName) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsLoadFile(host, handle, flags, collection, fileName);
}
uint32_t J6API DLSUnloadFile(uint32_t handle, uint32_t collection) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsUnloadFile(host, handle, collection);
}
uint32_t J6API DLSUnloadAll(uint32_t handle, uint32_t flags) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsUnloadAll(host, handle, flags);
}
uint32_t J6API DLSCompactMemory(uint32_t) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsCompactMemory(host);
}
uint32_t J6API DLSGetInfo(void* info) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsGetInfo(host, info);
}
uint32_t J6API DLSSetAttribute(uint32_t handle, uint32_t attribute, void* data) {
  auto host = j6base::CurrentDlsApiHost();
  return dls::DlsSetAttribute(host, handle, attribute, data);
}

}  // extern "C"
