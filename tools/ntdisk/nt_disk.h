// The Windows NT installation disk as the build assembles it: the setup program's file list and
// registry file, and clearly marked stand-ins for the files that come from outside this package (the
// kernel and user-mode drivers, the General MIDI banks, the applet when no Windows build is at hand).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ntdisk {

struct NtDiskOptions {
  // ProductVersion (and file version text) of the kernel-driver stand-ins.
  std::string driverVersion = "4.00";
  // Sizes of the General MIDI bank stand-ins j6gm1.bin, j6gm2.bin, j6gm4.bin.
  std::uint64_t bankBytes[3] = {1u << 20, 2u << 20, 4u << 20};
  // A real j6audio.cpl to put on the disk instead of the stand-in (empty: the stand-in).
  std::filesystem::path applet;
};

// The files the disk lists in file.lst, in order.
const std::vector<std::string>& NtDiskFiles();

// The text of file.lst.
std::string FileListText();
// The text of j6audio.reg: the multimedia registration of the user-mode drivers.
std::string RegistryFileText();
// A kernel-driver stand-in: a PE image whose version resource carries `productVersion` in the
// US English, Unicode string table (040904B0).
std::vector<std::uint8_t> DriverImage(const std::string& fileName, const std::string& productVersion);
// A small 24-bit BMP for the logo panel.
std::vector<std::uint8_t> LogoBitmap();

// Writes the whole disk into `dir` (made if missing). Throws std::runtime_error when a file cannot be
// written.
void WriteNtDisk(const std::filesystem::path& dir, const NtDiskOptions& options = {});

}  // namespace ntdisk
