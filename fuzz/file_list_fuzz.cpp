// libFuzzer target: any bytes as the installation disk's list of files, walked by both installers: as
// J6AUDIO.INF by the Windows 95 installer's copy (CopyInfFiles), and as file.lst by the NT setup
// program's copy through the file queue and its removal. The walks must end and stay inside their
// buffers; every name they act on must come from the list; a copy deferred to the next start must name
// a temporary file that exists, and no temporary file may be left that nothing names.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/pc.h"
#include "install95/inf_copy.h"
#include "install95/installer_app.h"
#include "install95/pages.h"
#include "setupnt/file_list.h"
#include "setupnt/install.h"
#include "setupnt/remove.h"
#include "setupnt/setup_state.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "file_list_fuzz: %s\n", what.c_str());
  std::abort();
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

struct Disks {
  Disks()
      : win95(platform::WindowsFamily::k95, "C:\\J6DISK"), nt(platform::WindowsFamily::kNt, "C:\\NTDISK") {
    win95.Put("J6DISK/j6wave.drv", "wave driver");
    win95.Put("J6DISK/j6extra.inf", "[Version]\r\n");
    win95.Put("J6DISK/J6LEGACY.COM", "legacy");
    win95.Put("J6DISK/J6AUDIO.INF", "");
    win95.Mark();
    for (const char* name : {"j6knldrv.sys", "j6usrdrv.dll", "j6audio.cpl", "j6gm1.bin", "j6audio.reg"})
      nt.Put(std::string("NTDISK/") + name, name);
    nt.Put("NTDISK/file.lst", "");
    nt.Mark();
  }
  j6fuzz::Pc win95, nt;
};

// Every name the walk acted on must be spelled somewhere in the list.
void CheckFromList(const std::string& list, const std::string& name) {
  if (Lower(list).find(Lower(name)) == std::string::npos) Fail("\"" + name + "\" is not in the list");
}

void CopyInf(j6fuzz::Pc& pc, const std::string& text) {
  pc.Reset();
  pc.Put("J6DISK/J6AUDIO.INF", text);
  install95::InstallerApp app(pc.Os(), "INSTALLER.EXE");
  install95::ChoicePage page(app, 148);
  page.requiredBytes = 100000;
  if (install95::CopyInfFiles(app, page) != 1) Fail("J6AUDIO.INF not found");

  // What the copy deferred: each entry names a temporary copy that exists.
  std::vector<char> rename(65536);
  const std::uint32_t n = pc.Os().profiles->GetSection("Rename", rename.data(), std::uint32_t(rename.size()),
                                                       "C:\\WINDOWS\\wininit.ini");
  std::vector<std::string> named;
  for (std::size_t at = 0; at < n && rename[at] != 0; at += std::strlen(&rename[at]) + 1) {
    std::string entry(&rename[at]);
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos) Fail("[Rename] entry without \"=\": " + entry);
    const std::string temp = entry.substr(equals + 1);
    if (pc.Os().files->GetFileAttributes(temp.c_str()) == platform::kInvalidFileAttributes)
      Fail("[Rename] names a file that is not there: " + entry);
    named.push_back(Lower(temp));
  }
  for (const std::string& added : pc.Added()) {
    if (added.rfind("WINDOWS/", 0) != 0) Fail("written outside the Windows folder: " + added);
    const std::string name = Lower(added.substr(added.find_last_of('/') + 1));
    if (name == "wininit.ini") continue;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".tmp") {
      bool isNamed = false;
      for (const std::string& temp : named)
        isNamed = isNamed || (temp.size() >= name.size() && temp.substr(temp.size() - name.size()) == name);
      if (!isNamed) Fail("temporary file left that [Rename] does not name: " + added);
    } else {
      CheckFromList(text, name);
    }
  }
}

void CopyAndRemoveNt(j6fuzz::Pc& pc, const std::string& text) {
  pc.Reset();
  pc.Put("NTDISK/file.lst", text);
  setupnt::SetupState state(pc.Os());
  if (!setupnt::LoadFileList(state)) Fail("file.lst not found");
  if (state.fileList.length > state.fileList.text.size()) Fail("the list claims more than its buffer");
  setupnt::ForEachListedName(state.fileList, [&](const std::string& name) {
    if (name.find('\0') != std::string::npos) Fail("a name runs past its entry");
    CheckFromList(text, name);
  });
  setupnt::CopyDriverFiles(state);
  state.installChoice = setupnt::kChoiceRemove;
  setupnt::RemoveDriverFiles(state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Disks disks;
  const std::string text(reinterpret_cast<const char*>(data), size);
  CopyInf(disks.win95, text);
  CopyAndRemoveNt(disks.nt, text);
  return 0;
}
