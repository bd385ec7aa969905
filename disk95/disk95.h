// The Windows 95 installation disk of the package, as the demo and the tests use it: our J6AUDIO.INF
// and logo.bmp, plus clearly marked stand-ins for the files that come from outside (the virtual device,
// the 16-bit drivers and thunk partner, the Windows 95 Control Panel applet, the General MIDI banks and
// the DOS utilities).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace disk95 {

struct DiskFile {
  std::string name;
  std::vector<unsigned char> bytes;
};

// The new virtual device's product version on this disk.
inline constexpr const char* kVxdProductVersion = "1.00.10";

// Every file of the disk, in the order they are written.
std::vector<DiskFile> Windows95DiskFiles();

// Writes the disk's files into `dir` (made if needed); throws std::runtime_error naming the file that
// could not be written.
void WriteWindows95Disk(const std::filesystem::path& dir);

}  // namespace disk95
