// The DLS exports while the library has no DLS interface: every call answers "DLS not available".
#include "basedrv/j6base.h"

namespace {
constexpr uint32_t kDlsNotAvailable = 1;
}  // namespace

extern "C" {

uint32_t J6API DLSOpen(uint32_t*, uint32_t) {
  return kDlsNotAvailable;
}
uint32_t J6API DLSClose(uint32_t, uint32_t) {
  return kDlsNotAvailable;
}
uint32_t J6API DLSLoadFile(uint32_t, uint32_t, uint32_t* collection, const char*) {
  if (collection) *collection = 0xFFFFFFFFu;
  return kDlsNotAvailable;
}
uint32_t J6API DLSUnloadFile(uint32_t, uint32_t) {
  return kDlsNotAvailable;
}
uint32_t J6API DLSUnloadAll(uint32_t, uint32_t) {
  return kDlsNotAvailable;
}
uint32_t J6API DLSCompactMemory(uint32_t) {
  return kDlsNotAvailable;
}
uint32_t J6API DLSGetInfo(void*) {
  return kDlsNotAvailable;
}
uint32_t J6API DLSSetAttribute(uint32_t, uint32_t, void*) {
  return kDlsNotAvailable;
}

}  // extern "C"
