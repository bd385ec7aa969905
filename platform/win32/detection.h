// The detection library "detect32.dll" and its export number 2 (no name), which takes and returns one
// 32-bit integer with the standard calling convention.
#pragma once

#include <cstdint>

#include "platform/detection.h"

namespace platform::win32 {

// Loads the library at run time (LoadLibraryA, GetProcAddress by ordinal). Valid() is false when the
// library or its export is missing; Detect then returns 0.
class LoadedDetectionLibrary final : public platform::DetectionLibrary {
 public:
  explicit LoadedDetectionLibrary(const char* path = "detect32.dll");
  ~LoadedDetectionLibrary() override;
  LoadedDetectionLibrary(const LoadedDetectionLibrary&) = delete;
  LoadedDetectionLibrary& operator=(const LoadedDetectionLibrary&) = delete;

  bool Valid() const { return entry_ != nullptr; }
  std::int32_t Detect(std::int32_t what) override;

 private:
  void* module_ = nullptr;
  std::int32_t(__stdcall* entry_)(std::int32_t) = nullptr;
};

// Bound when the program loads, through the import library of the stand-in: a program that links
// j6_win32_detect32 does not start without "detect32.dll".
class BoundDetectionLibrary final : public platform::DetectionLibrary {
 public:
  std::int32_t Detect(std::int32_t what) override;
};

}  // namespace platform::win32
