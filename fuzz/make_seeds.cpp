// Writes the seed corpora under fuzz/corpus/: small, valid inputs for each target, so the fuzzer starts
// from files the readers accept. Run from the build tree: j6_fuzz_seeds <source>/fuzz/corpus
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "disk95/disk95.h"
#include "sim/dls_writer.h"
#include "sim/pe_writer.h"
#include "tools/ntdisk/nt_disk.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
}
std::string Bytes(const std::vector<std::uint8_t>& v) {
  return std::string(v.begin(), v.end());
}

std::string Le32(std::uint32_t v) {
  return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string Chunk(const std::string& id, const std::string& data) {
  return id + Le32(std::uint32_t(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}
std::string List(const std::string& outer, const std::string& type, const std::string& children) {
  return Chunk(outer, type + children);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const fs::path root = argv[1];

  Write(root / "profiles", "rename.ini", "[Rename]\r\nNUL=C:\\OLD.DRV\r\nC:\\A.DRV=C:\\B.TMP\r\n");
  Write(root / "profiles", "mixed.ini",
        "; comment\n[j6]\nA=1\n a = spaced \n\n[Empty]\r[Other]\rKey\rx=\"quoted\"\r\n[j6]\na=dup\n");

  Write(
      root / "registry", "regedit4.reg",
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\J6]\r\n@=\"default\"\r\n\"Name\"=\"text \\\"q\\\"\"\r\n"
      "\"Count\"=dword:0000002a\r\n\"Bin\"=hex:01,02,ff\r\n\"Multi\"=hex(7):61,00,00,00\r\n\r\n"
      "[-HKEY_CURRENT_USER\\Gone]\r\n\r\n[HKEY_CURRENT_USER\\Software\\J6]\r\n\"Old\"=-\r\n");
  Write(
      root / "registry", "version5.reg",
      "Windows Registry Editor Version 5.00\n\n[HKLM\\System\\CurrentControlSet\\Services\\j6]\n"
      "\"Start\"=dword:00000003\n\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,\\\n  10,11\n");

  Write(root / "version_info", "versioned.dll", Bytes(sim::MakeVersionedPe("4.03.00.1234")));
  Write(root / "version_info", "strings.dll",
        Bytes(sim::MakePeFile(sim::MakeVersionResource(
            {{"CompanyName", "J6"}, {"ProductName", "Orvantis"}, {"FileVersion", "1.0"}}, "04090000"))));
  Write(root / "version_info", "plain.dll", Bytes(sim::MakePeFile({})));

  Write(root / "machine_config", "pci.json",
        "{\"os\": \"95\", \"freeBytes\": 524288000, \"card\": {\"kind\": \"pci\", \"irq\": 5, \"basePort\": "
        "57344}}\n");
  Write(root / "machine_config", "nt.json",
        "{\"os\": \"nt\", \"card\": {\"kind\": \"isa\", \"legacyMode\": true, \"gmRom\": false, \"dma\": [1, "
        "5, 0]},"
        " \"pciDevices\": [{\"vendor\": 4660, \"device\": 22136}]}\n");

  const std::string wave = List("LIST", "wave", Chunk("fmt ", std::string(16, '\1')) + Chunk("data", "abcd"));
  const std::string ins = List("LIST", "ins ",
                               Chunk("insh", std::string(12, '\0')) +
                                   List("LIST", "lrgn", List("LIST", "rgn ", Chunk("rgnh", "12345678"))));
  Write(root / "riff", "small.dls",
        List("RIFF", "DLS ",
             Chunk("colh", Le32(1)) + Chunk("vers", std::string(8, '\0')) + List("LIST", "lins", ins) +
                 Chunk("ptbl", Le32(8) + Le32(1) + Le32(0)) + List("LIST", "wvpl", wave) +
                 List("LIST", "INFO", Chunk("INAM", "odd"))));
  Write(root / "riff", "wave.wav",
        List("RIFF", "WAVE", Chunk("fmt ", std::string(16, '\2')) + Chunk("data", "x")));

  Write(root / "microcode", "example.txt", "5A43 0101 1 0\n1 0 0 5\n12 34 56 78 14\n");
  Write(root / "microcode", "two_segments.txt",
        "0x5A43 0x0101 2 0\r\n0 0 0 3\r\n1 2 FF\r\n1 0 0 2\r\n9 9\r\n");
  // DLS collections as the engine's tests load them: a piano and a drum kit, and an instrument with
  // two regions, articulation and a looped 8-bit wave, in the reverse chunk order.
  namespace dlsw = sim::dlsw;
  Write(root / "dls", "small.dls", Bytes(dlsw::WriteDls(dlsw::SmallCollection())));
  {
    dlsw::Collection c;
    dlsw::Wave w;
    w.bits = 8;
    w.data = dlsw::Ramp8(24);
    c.waves = {w};
    dlsw::Instrument ins;
    ins.program = 5;
    ins.bank = 0x0102;
    dlsw::Region low, high;
    low.keyHigh = 59;
    low.loops = {dlsw::Loop(4, 8)};
    high.keyLow = 60;
    dlsw::Articulation art;
    art.connections = {{0, 0, 0x0206, 0, -0x7FFFFFFF}, {0x0001, 0, 0x0003, 0, 1000}};
    high.art = art;
    ins.regions = {low, high};
    ins.art = art;
    c.instruments = {ins};
    c.reversed = true;
    Write(root / "dls", "articulated.dls", Bytes(dlsw::WriteDls(c)));
  }

  // Start-up files: the first byte chooses installation (bit 0 clear) or removal, the chipset flag
  // (bit 1) and whether the AUTOEXEC.DOS/CONFIG.DOS pair exists (bit 2); the text goes into every file.
  const std::string config =
      "REM  Memory managers\r\ndevice=c:\\windows\\himem.sys\r\ndevice=c:\\windows\\emm386.exe noems "
      "x=d000-dfff\r\ndos=umb\r\nDEVICEHIGH=C:\\DOS\\SETVER.EXE\r\nFILES=40\r\nC:\\DOS\\SMARTDRV.EXE /X\r\n"
      "PREMIUM=1\r\n\r\nbuffers=20";
  const std::string autoexec =
      "@ECHO OFF\r\nSET BLASTER=A220 I5 D1 T4\r\n@LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS\r\n"
      "lh c:\\windows\\j6mixer.exe /x\r\nC:\\Windows\\J6DosVm.exe\r\nPATH C:\\WINDOWS;C:\\DOS\r\n\x1a";
  Write(root / "startup", "install_config.txt", std::string(1, '\0') + config);
  Write(root / "startup", "install_chipset_pair.txt", std::string(1, '\6') + autoexec);
  Write(root / "startup", "remove_pair.txt", std::string(1, '\5') + autoexec + config);
  Write(root / "startup", "long_lines.txt",
        std::string(1, '\0') + "DOS=" + std::string(300, 'x') + "\r\nSET P=" + std::string(260, 'y') +
            "J6MIXER.EXE\r\n");

  // File lists: the Windows 95 disk's J6AUDIO.INF, the NT disk's file.lst, and a short list with an
  // entry without "=" that ends it.
  for (const disk95::DiskFile& file : disk95::Windows95DiskFiles())
    if (file.name == "J6AUDIO.INF")
      Write(root / "file_list", "j6audio.inf", std::string(file.bytes.begin(), file.bytes.end()));
  Write(root / "file_list", "file.lst", ntdisk::FileListText());
  Write(root / "file_list", "short.inf",
        "[SourceDisksFiles]\r\nj6wave.drv=1,,4096\r\nj6extra.inf=1\r\nreadme\r\nJ6LEGACY.COM=1\r\n");
  // Also written as wininit.ini: a [Rename] section that the deferred copy of j6wave.drv adds to.
  Write(root / "file_list", "rename.inf",
        "[Rename]\r\nNUL=C:\\OLD.DRV\r\nC:\\WINDOWS\\A.DRV=C:\\WINDOWS\\A.TMP\r\n\r\n[SourceDisksFiles]\r\n"
        "j6wave.drv=1\r\nJ6AUDIO.INF=1\r\n");
  return 0;
}
