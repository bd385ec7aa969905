#include "sim/detection.h"

#include <string>

#include "sim/machine.h"

namespace sim {

bool SimDetection::DriverSetInstalled() {
  if (os_.files) {
    char windows[platform::kMaxPath] = {};
    std::uint32_t length = os_.files->GetWindowsDirectory(windows, sizeof windows);
    if (length > 0 && length < sizeof windows) {
      std::string inf = std::string(windows) + "\\INF\\J6AUDIO.INF";
      std::uint32_t attributes = os_.files->GetFileAttributes(inf.c_str());
      if (attributes != platform::kInvalidFileAttributes && !(attributes & platform::kFileAttributeDirectory))
        return true;
    }
  }
  if (os_.registry) {
    platform::HKey key = 0;
    if (os_.registry->OpenKey(platform::kHkeyLocalMachine,
                              "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS",
                              &key) == platform::kErrorSuccess) {
      os_.registry->CloseKey(key);
      return true;
    }
  }
  return false;
}

std::int32_t SimDetection::Detect(std::int32_t what) {
  switch (what) {
    case 16:
      return DriverSetInstalled() ? 0x101 : 0x001;
    case 2:
      return machine_.Config().card.kind == CardKind::kNone ? 17 : 0;
    default:
      return 0;
  }
}

}  // namespace sim
