// libFuzzer target: any bytes as the installation disk's list of files, walked by both installers: as
// J6AUDIO.INF (and wininit.ini) by the Windows 95 installer's copy (CopyInfFiles) and its removal of
// old drivers, and as file.lst by the NT setup program's copy through the file queue and its removal. The
// walks must end and stay inside their buffers; every name they act on must come from the list; a copy
// deferred to the next start must keep the [Rename] entries already there and name a temporary file that
// exists, and no temporary file may be left that nothing names.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/pc.h"
#include "install95/driver_removal.h"
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
    win95.Put("WINDOWS/wininit.ini", "");
    // A driver in use: its copy fails and is deferred to the next start through wininit.ini.
    win95.Put("WINDOWS/SYSTEM/j6wave.drv", "old wave driver");
    inUse = win95.Os().files->OpenFile("C:\\WINDOWS\\SYSTEM\\j6wave.drv", platform::OpenMode::kRead);
    if (inUse == platform::kInvalidFileHandle) Fail("the driver in use does not open");
    win95.Mark();
    for (const char* name : {"j6knldrv.sys", "j6usrdrv.dll", "j6audio.cpl", "j6gm1.bin", "j6audio.reg"})
      nt.Put(std::string("NTDISK/") + name, name);
    nt.Put("NTDISK/file.lst", "");
    nt.Mark();
  }
  j6fuzz::Pc win95, nt;
  platform::FileHandle inUse = platform::kInvalidFileHandle;
};

// Every name the walk acted on must be spelled somewhere in the list.
void CheckFromList(const std::string& list, const std::string& name) {
  if (Lower(list).find(Lower(name)) == std::string::npos) Fail("\"" + name + "\" is not in the list");
}

// The entries of wininit.ini's [Rename] section, as the profile reader gives them.
std::vector<std::string> RenameEntries(j6fuzz::Pc& pc) {
  std::vector<char> section(65536);
  const std::uint32_t n = pc.Os().profiles->GetSection(
      "Rename", section.data(), std::uint32_t(section.size()), "C:\\WINDOWS\\wininit.ini");
  std::vector<std::string> entries;
  for (std::size_t at = 0; at < n && section[at] != 0; at += entries.back().size() + 1)
    entries.emplace_back(&section[at]);
  return entries;
}

// Unless the section was left alone, every entry that was there stays, in its order (lines without "="
// are no entries and go when it is written back); each new one names a file that exists: a temporary
// copy, or a file to delete. Adds those names to `named`.
void CheckRenameKept(j6fuzz::Pc& pc, const std::vector<std::string>& before,
                     const std::vector<std::string>& after, std::vector<std::string>* named) {
  if (after == before) return;
  std::vector<std::string> old;
  for (const std::string& entry : before)
    if (entry.find('=') != std::string::npos) old.push_back(entry);
  if (after.size() < old.size() || !std::equal(old.begin(), old.end(), after.begin()))
    Fail("[Rename] lost entries");
  for (std::size_t i = old.size(); i < after.size(); ++i) {
    const std::size_t equals = after[i].find('=');
    if (equals == std::string::npos) Fail("new [Rename] entry without \"=\": " + after[i]);
    const std::string file = after[i].substr(equals + 1);
    if (pc.Os().files->GetFileAttributes(file.c_str()) == platform::kInvalidFileAttributes)
      Fail("[Rename] names a file that is not there: " + after[i]);
    named->push_back(Lower(file));
  }
}

// Files the installer made: temporary copies that [Rename] names, the rest named by the list.
void CheckAdded(j6fuzz::Pc& pc, const std::string& text, const std::vector<std::string>& named) {
  for (const std::string& added : pc.Added()) {
    if (added.rfind("WINDOWS/", 0) != 0) Fail("written outside the Windows folder: " + added);
    const std::string name = Lower(added.substr(added.find_last_of('/') + 1));
    if (name.size() > 4 && name.substr(name.size() - 4) == ".tmp") {
      bool isNamed = false;
      for (const std::string& file : named)
        isNamed = isNamed || (file.size() >= name.size() && file.substr(file.size() - name.size()) == name);
      if (!isNamed) Fail("temporary file left that [Rename] does not name: " + added);
    } else {
      CheckFromList(text, name);
    }
  }
}

void CopyAndRemove95(j6fuzz::Pc& pc, const std::string& text) {
  pc.Reset();
  pc.Put("J6DISK/J6AUDIO.INF", text);
  // The same text as wininit.ini: whatever [Rename] it holds is there before the copy adds to it.
  pc.Put("WINDOWS/wininit.ini", text);
  const std::vector<std::string> before = RenameEntries(pc);
  install95::InstallerApp app(pc.Os(), "INSTALLER.EXE");
  install95::ChoicePage page(app, 148);
  page.requiredBytes = 100000;
  if (install95::CopyInfFiles(app, page) != 1) Fail("J6AUDIO.INF not found");
  const std::vector<std::string> copied = RenameEntries(pc);
  std::vector<std::string> named;
  CheckRenameKept(pc, before, copied, &named);
  CheckAdded(pc, text, named);

  // The removal of the old drivers walks the list of the INF just installed (or the disk's) and
  // deletes what it names; a file in use goes at the next start.
  page.removeWindows = 1;
  install95::RemoveOldDrivers(app, page);
  CheckRenameKept(pc, copied, RenameEntries(pc), &named);
  CheckAdded(pc, text, named);
  for (const std::string& removed : pc.Removed())
    if (removed != "J6DISK/J6AUDIO.INF") CheckFromList(text, removed.substr(removed.find_last_of('/') + 1));
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
  CopyAndRemove95(disks.win95, text);
  CopyAndRemoveNt(disks.nt, text);
  return 0;
}
