#include "tools/ntdisk/nt_disk.h"

#include <fstream>
#include <stdexcept>

#include "sim/pe_writer.h"

namespace ntdisk {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStandInNote =
    "J6 Orvantis installation disk stand-in: this file takes the place of a component that is not part of "
    "the driver package sources.\r\n";

void WriteFile(const fs::path& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error(path.string() + ": cannot be written");
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteFile(path, text.data(), text.size());
}

void WriteBank(const fs::path& path, const std::string& name, std::uint64_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string head = std::string("J6GM ") + name + "\r\n" + kStandInNote;
  if (head.size() > size) head.resize(static_cast<std::size_t>(size));
  out.write(head.data(), static_cast<std::streamsize>(head.size()));
  std::vector<char> zeros(64 * 1024, 0);
  for (std::uint64_t left = size - head.size(); left > 0;) {
    auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
    out.write(zeros.data(), static_cast<std::streamsize>(chunk));
    left -= chunk;
  }
  if (!out) throw std::runtime_error(path.string() + ": cannot be written");
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

const std::vector<std::string>& NtDiskFiles() {
  static const std::vector<std::string> files = {
      "j6knldrv.sys", "j6knljs.sys", "j6usrdrv.dll", "j6fmdrv.dll", "j6usrjs.dll",
      "j6audio.cpl",  "j6gm1.bin",   "j6gm2.bin",    "j6gm4.bin",
  };
  return files;
}

std::string FileListText() {
  std::string text =
      "; Files the J6 Orvantis setup program for Windows NT installs.\r\n[SourceDisksFiles]\r\n";
  for (const auto& name : NtDiskFiles()) text += name + "=1\r\n";
  return text;
}

std::string RegistryFileText() {
  const std::string nt = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
  const std::string media = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\";
  std::string text;
  text += "REGEDIT4\r\n\r\n";
  text += "; J6 Orvantis drivers for Windows NT: the multimedia registration of the user-mode drivers.\r\n";
  text += "; The setup program removes all of it again before an update and for a removal.\r\n\r\n";
  text += "[" + nt + "Drivers32]\r\n";
  text += "\"wave1\"=\"j6usrdrv.dll\"\r\n";
  text += "\"midi1\"=\"j6usrdrv.dll\"\r\n";
  text += "\"mixer1\"=\"j6usrdrv.dll\"\r\n";
  text += "\"aux1\"=\"j6usrdrv.dll\"\r\n";
  text += "\"midi2\"=\"j6fmdrv.dll\"\r\n\r\n";
  text += "[" + nt + "drivers.desc]\r\n";
  text += "\"j6usrdrv.dll\"=\"J6 Orvantis Wavetable Driver\"\r\n";
  text += "\"j6fmdrv.dll\"=\"J6 Orvantis FM Synthesis Driver\"\r\n";
  text += "\"j6usrjs.dll\"=\"J6 Orvantis Joystick Driver\"\r\n\r\n";
  text += "[" + nt + "Userinstallable.drivers]\r\n";
  text += "\"j6usrdrv\"=\"j6usrdrv.dll\"\r\n";
  text += "\"j6fmdrv\"=\"j6fmdrv.dll\"\r\n";
  text += "\"j6usrjs\"=\"j6usrjs.dll\"\r\n\r\n";
  text += "[" + media + "MIDI\\j6usrdrv.dll<0000>]\r\n";
  text += "\"Description\"=\"J6 Orvantis Wavetable\"\r\n";
  text += "\"FriendlyName\"=\"J6 Orvantis Wavetable\"\r\n";
  text += "\"Driver\"=\"j6usrdrv.dll\"\r\n";
  text += "\"Active\"=\"1\"\r\n\r\n";
  text += "[" + media + "MIDI\\j6fmdrv.dll<0000>]\r\n";
  text += "\"Description\"=\"J6 Orvantis FM Synthesis\"\r\n";
  text += "\"FriendlyName\"=\"J6 Orvantis FM Synthesis\"\r\n";
  text += "\"Driver\"=\"j6fmdrv.dll\"\r\n";
  text += "\"Active\"=\"1\"\r\n\r\n";
  text += "[" + media + "Joystick\\j6usrjs.dll<0000>]\r\n";
  text += "\"Description\"=\"J6 Orvantis Joystick Port\"\r\n";
  text += "\"Driver\"=\"j6usrjs.dll\"\r\n\r\n";
  text += "[" + media + "Joystick\\j6usrjs.dll<0000>\\CurrentJoystickSettings]\r\n";
  text += "\"Joystick1Configuration\"=hex:00,00,00,00,02,00,00,00\r\n";
  return text;
}

std::vector<std::uint8_t> DriverImage(const std::string& fileName, const std::string& productVersion) {
  sim::VersionStrings strings = {
      {"CompanyName", "J6 Orvantis (stand-in)"},
      {"FileDescription", std::string("Stand-in for ") + fileName},
      {"FileVersion", productVersion},
      {"InternalName", fileName},
      {"OriginalFilename", fileName},
      {"ProductName", "J6 Orvantis drivers for Windows NT"},
      {"ProductVersion", productVersion},
  };
  return sim::MakePeFile(sim::MakeVersionResource(strings, "040904B0"));
}

std::vector<std::uint8_t> LogoBitmap() {
  constexpr int kWidth = 110, kHeight = 80;
  constexpr int kRow = (kWidth * 3 + 3) & ~3;
  constexpr std::uint32_t kPixels = kRow * kHeight;
  std::vector<std::uint8_t> bmp(54 + kPixels, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  Put32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
  Put32(bmp, 10, 54);
  Put32(bmp, 14, 40);
  Put32(bmp, 18, kWidth);
  Put32(bmp, 22, kHeight);
  Put16(bmp, 26, 1);
  Put16(bmp, 28, 24);
  Put32(bmp, 34, kPixels);
  // A dark blue field with a lighter diagonal band.
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      std::size_t at = 54 + static_cast<std::size_t>(y) * kRow + static_cast<std::size_t>(x) * 3;
      bool band = std::abs(x - y - 15) < 12;
      bmp[at] = band ? 0xE0 : 0x80;      // blue
      bmp[at + 1] = band ? 0xC0 : 0x30;  // green
      bmp[at + 2] = band ? 0x40 : 0x10;  // red
    }
  return bmp;
}

void WriteNtDisk(const fs::path& dir, const NtDiskOptions& options) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw std::runtime_error(dir.string() + ": cannot be made: " + ec.message());
  WriteText(dir / "file.lst", FileListText());
  WriteText(dir / "j6audio.reg", RegistryFileText());
  for (const char* name : {"j6knldrv.sys", "j6knljs.sys", "j6usrdrv.dll", "j6fmdrv.dll", "j6usrjs.dll"}) {
    auto image = DriverImage(name, options.driverVersion);
    WriteFile(dir / name, image.data(), image.size());
  }
  if (!options.applet.empty()) {
    fs::copy_file(options.applet, dir / "j6audio.cpl", fs::copy_options::overwrite_existing, ec);
    if (ec) throw std::runtime_error(options.applet.string() + ": cannot be copied: " + ec.message());
  } else {
    auto image = DriverImage("j6audio.cpl", options.driverVersion);
    WriteFile(dir / "j6audio.cpl", image.data(), image.size());
  }
  const char* banks[3] = {"j6gm1.bin", "j6gm2.bin", "j6gm4.bin"};
  for (int i = 0; i < 3; ++i) WriteBank(dir / banks[i], banks[i], options.bankBytes[i]);
  auto logo = LogoBitmap();
  WriteFile(dir / "logo.bmp", logo.data(), logo.size());
}

}  // namespace ntdisk
