#include "platform/win32/detection.h"

#include "platform/win32/windows_api.h"

namespace platform::win32 {

LoadedDetectionLibrary::LoadedDetectionLibrary(const char* path) {
  HMODULE module = LoadLibraryA(path);
  if (!module) return;
  module_ = module;
  entry_ = reinterpret_cast<std::int32_t(__stdcall*)(std::int32_t)>(
      reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(2))));
}

LoadedDetectionLibrary::~LoadedDetectionLibrary() {
  if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

std::int32_t LoadedDetectionLibrary::Detect(std::int32_t what) {
  return entry_ ? entry_(what) : 0;
}

}  // namespace platform::win32
