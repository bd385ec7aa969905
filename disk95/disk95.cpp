#include "disk95/disk95.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "sim/gm_banks.h"
#include "sim/pe_writer.h"

namespace disk95 {

namespace {

// Lines end in CR LF, as on the real disk.
std::vector<unsigned char> DosText(std::string_view text) {
  std::vector<unsigned char> out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(static_cast<unsigned char>(c));
  }
  return out;
}

constexpr std::string_view kInf = R"([Version]
Signature="$CHICAGO$"
Class=MEDIA
Provider=%String0%
LayoutFile=layout.inf

[ClassInstall]
AddReg=Class.AddReg

[Class.AddReg]
HKR,,,,%MediaClassName%
HKR,,Icon,,"-1"
HKR,,Installer,,mmci.dll

[Manufacturer]
%String1%=J6AUDIO

[J6AUDIO]
%String2%=J6PCI.Install,PCI\VEN_7A4E&DEV_E100
%String3%=J6PCI.Install,*QRL402A_DEV0004

[J6PCI.Install]
CopyFiles=J6.Vxd.Copy,J6.Sys.Copy,J6.Banks.Copy,J6.Inf.Copy
AddReg=J6.AddReg,J6.Uninstall.AddReg
UpdateInis=J6.UpdateInis
LogConfig=J6.LogConfig
Reboot

[J6.Vxd.Copy]
J6CVXD.VXD

[J6.Sys.Copy]
J6BASE.DLL
j6thunk.dll
j6wave.drv
j6fm.drv
j6midi.drv
J6Audio.cpl

[J6.Banks.Copy]
j6gm1.bin
j6gm2.bin
j6gm4.bin
j6gm8.bin

[J6.Inf.Copy]
J6AUDIO.INF

[J6.AddReg]
HKR,,DevLoader,,mmdevldr.vxd
HKR,,Driver,,J6CVXD.VXD
HKR,Drivers,MIDI,,
HKR,Drivers,mixer,,
HKR,Drivers,wave,,
HKR,Drivers,aux,,
HKR,Drivers\wave\j6wave.drv,Driver,,j6wave.drv
HKR,Drivers\wave\j6wave.drv,Description,,%String2%
HKR,Drivers\mixer\j6wave.drv,Driver,,j6wave.drv
HKR,Drivers\mixer\j6wave.drv,Description,,%String2%
HKR,Drivers\aux\j6wave.drv,Driver,,j6wave.drv
HKR,Drivers\aux\j6wave.drv,Description,,%String2%
HKR,Drivers\midi\j6fm.drv,Driver,,j6fm.drv
HKR,Drivers\midi\j6fm.drv,Description,,%String4%
HKR,Drivers\midi\j6midi.drv,Driver,,j6midi.drv
HKR,Drivers\midi\j6midi.drv,Description,,%String5%
HKLM,System\CurrentControlSet\Services\VxD\ORVANTIS,StaticVxD,,J6CVXD.VXD
HKLM,System\CurrentControlSet\Services\VxD\ORVANTIS,Start,1,00

[J6.Uninstall.AddReg]
HKLM,Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVANTIS,DisplayName,,%String1%
HKLM,Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVANTIS,UninstallString,,"INSTALLER.EXE"

[J6.UpdateInis]
system.ini,drivers,,"midimapper=midimap.drv"

[J6.LogConfig]
ConfigPriority=NORMAL
IOConfig=220-22F(3FF::)
IRQConfig=5,7,9,10,11

[DestinationDirs]
DefaultDestDir=11
J6.Vxd.Copy=11
J6.Sys.Copy=11
J6.Banks.Copy=11
J6.Inf.Copy=17

[SourceDisksNames]
1=%DiskName%,,0001

[SourceDisksFiles]
J6AUDIO.INF=1
J6CVXD.VXD=1
J6BASE.DLL=1
j6thunk.dll=1
j6wave.drv=1
j6fm.drv=1
j6midi.drv=1
J6Audio.cpl=1
j6gm1.bin=1
j6gm2.bin=1
j6gm4.bin=1
j6gm8.bin=1

[Strings]
String0="J6 Orvantis"
String1="J6AUDIO"
String2="J6 Orvantis PCI Audio"
String3="J6 Orvantis ISA Audio"
String4="J6 Orvantis FM Synthesis"
String5="J6 Orvantis Wavetable MIDI"
MediaClassName="Sound, video and game controllers"
DiskName="J6 Orvantis Windows 95 Driver Disk"
)";

constexpr std::string_view kInitIni = R"(; Stand-in for the DOS legacy driver's initialisation file.
[J6LEGACY]
Port=220
Irq=5
Dma=1
MpuPort=330
)";

// A file that comes from outside the package: readable text saying so, so nobody mistakes it for the
// real thing, padded to a plausible size.
std::vector<unsigned char> StandIn(std::string_view name, std::string_view what, std::size_t size) {
  std::string text = "J6 ORVANTIS STAND-IN FILE\r\nName: " + std::string(name) +
                     "\r\nStands for: " + std::string(what) +
                     "\r\nMade by the build for the simulated PC; not a working program.\r\n";
  std::vector<unsigned char> bytes(text.begin(), text.end());
  for (std::size_t i = bytes.size(); i < size; ++i) bytes.push_back(static_cast<unsigned char>(i * 7 + 3));
  return bytes;
}

// A General MIDI bank stand-in, as the simulated PC makes them, cut to a few kilobytes: the engine reads
// only its drum patch table.
std::vector<unsigned char> GmBank(int selector) {
  auto image = sim::MakeGmBankImage(static_cast<std::uint8_t>(selector), 4096);
  return std::vector<unsigned char>(image.begin(), image.end());
}

void PutLe16(std::vector<unsigned char>& b, std::uint16_t v) {
  b.push_back(static_cast<unsigned char>(v)), b.push_back(static_cast<unsigned char>(v >> 8));
}
void PutLe32(std::vector<unsigned char>& b, std::uint32_t v) {
  PutLe16(b, static_cast<std::uint16_t>(v)), PutLe16(b, static_cast<std::uint16_t>(v >> 16));
}

// The logo: a 73 by 52, 24-bit bottom-up bitmap, the panel's own size in dialog units: a deep blue
// field with a lighter band and the card's "J6" drawn in blocks.
std::vector<unsigned char> Logo() {
  constexpr int kWidth = 73, kHeight = 52;
  constexpr int kRowBytes = (kWidth * 3 + 3) & ~3;
  constexpr std::uint32_t kPixelBytes = kRowBytes * kHeight;
  std::vector<unsigned char> b;
  b.push_back('B'), b.push_back('M');
  PutLe32(b, 14 + 40 + kPixelBytes);
  PutLe32(b, 0);
  PutLe32(b, 14 + 40);
  PutLe32(b, 40);
  PutLe32(b, kWidth);
  PutLe32(b, kHeight);
  PutLe16(b, 1);
  PutLe16(b, 24);
  PutLe32(b, 0);
  PutLe32(b, kPixelBytes);
  PutLe32(b, 2835);
  PutLe32(b, 2835);
  PutLe32(b, 0);
  PutLe32(b, 0);
  // "J6" in a 5 by 7 block font, scaled by 4.
  static const char* const kGlyphs[7] = {"..###.####", "...#.#....", "...#.#....", "...#.####.",
                                         "#..#.#...#", "#..#.#...#", ".##...###."};
  for (int row = kHeight - 1; row >= 0; --row) {  // rows are stored bottom-up
    for (int x = 0; x < kWidth; ++x) {
      unsigned char r = 16, g = 32, bl = static_cast<unsigned char>(96 + row * 2);
      if (row >= 40 && row < 44) r = 200, g = 160, bl = 40;
      int gx = (x - 16) / 4, gy = (row - 6) / 4;
      if (x >= 16 && row >= 6 && gx < 10 && gy < 7 && kGlyphs[gy][gx] == '#') r = g = bl = 255;
      b.push_back(bl), b.push_back(g), b.push_back(r);
    }
    for (int pad = kWidth * 3; pad < kRowBytes; ++pad) b.push_back(0);
  }
  return b;
}

// The new virtual device. Its product version is what the installer compares with an installed one.
std::vector<unsigned char> VxdStandIn() {
  return StandIn("J6CVXD.VXD", std::string("the card's virtual device driver, version ") + kVxdProductVersion,
                 8192);
}

}  // namespace

std::vector<DiskFile> Windows95DiskFiles() {
  std::vector<DiskFile> files;
  files.push_back({"J6AUDIO.INF", DosText(kInf)});
  files.push_back({"logo.bmp", Logo()});
  files.push_back({"J6CVXD.VXD", VxdStandIn()});
  files.push_back(
      {"J6BASE.DLL", StandIn("J6BASE.DLL", "the base driver library, built for Windows 95 only", 4096)});
  files.push_back({"j6thunk.dll", StandIn("j6thunk.dll", "the 16-bit thunk partner", 2048)});
  files.push_back({"j6wave.drv", StandIn("j6wave.drv", "the 16-bit wave, mixer and aux driver", 6144)});
  files.push_back({"j6fm.drv", StandIn("j6fm.drv", "the 16-bit FM synthesis driver", 3072)});
  files.push_back({"j6midi.drv", StandIn("j6midi.drv", "the 16-bit wavetable MIDI driver", 4096)});
  files.push_back({"J6Audio.cpl", StandIn("J6Audio.cpl", "the Windows 95 Control Panel applet", 3072)});
  for (int selector : {1, 2, 4, 8})
    files.push_back({"j6gm" + std::to_string(selector) + ".bin", GmBank(selector)});
  files.push_back({"J6LEGACY.COM", StandIn("J6LEGACY.COM", "the DOS legacy driver", 1536)});
  files.push_back({"J6MIXER.EXE", StandIn("J6MIXER.EXE", "the DOS mixer utility", 2048)});
  files.push_back({"J6DOSVM.EXE", StandIn("J6DOSVM.EXE", "the DOS virtual-machine utility", 2048)});
  files.push_back({"J6INIT.INI", DosText(kInitIni)});
  files.push_back(
      {"DETECT32.DLL",
       StandIn("DETECT32.DLL", "the detection library; the simulated PC answers its calls", 2048)});
  files.push_back(
      {"INSTALLER.EXE", StandIn("INSTALLER.EXE", "the installer; j6sim install95 runs it", 1024)});
  return files;
}

void WriteWindows95Disk(const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  for (const DiskFile& file : Windows95DiskFiles()) {
    const std::filesystem::path path = dir / file.name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace disk95
