#include "platform/win32/detection.h"

// Export number 2 of "detect32.dll", imported by ordinal through the stand-in's import library.
extern "C" __declspec(dllimport) std::int32_t __stdcall J6DetectEntry(std::int32_t what);

namespace platform::win32 {

std::int32_t BoundDetectionLibrary::Detect(std::int32_t what) {
  return J6DetectEntry(what);
}

}  // namespace platform::win32
