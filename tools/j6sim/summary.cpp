#include "tools/j6sim/summary.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "sim/drive.h"
#include "sim/process.h"
#include "sim/registry.h"

namespace j6sim {

namespace fs = std::filesystem;
using namespace platform;

namespace {

constexpr const char* kSessionManager =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingRenames = "PendingFileRenameOperations";

std::string WininitPath(const sim::Machine& machine) {
  return machine.Config().windowsDir + "\\wininit.ini";
}

bool SameText(const std::string& a, const std::string& b) {
  return sim::RegNameEqual(a, b);
}

// The NUL-terminated strings of a REG_MULTI_SZ value (the list's closing NUL gives a last empty one).
std::vector<std::string> MultiStrings(const std::vector<std::uint8_t>& data) {
  std::vector<std::string> out;
  std::string current;
  for (std::uint8_t b : data) {
    if (b == 0) {
      out.push_back(current);
      current.clear();
    } else {
      current += char(b);
    }
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

std::string StripNtPrefix(std::string path) {
  if (path.rfind("\\??\\", 0) == 0) path = path.substr(4);
  return path;
}

std::string ErrorText(FileSystem& files) {
  return "error " + std::to_string(files.LastError());
}

// Puts `source` in the place of `target`, as the restart does: an existing target goes first.
void Replace(FileSystem& files, const std::string& source, const std::string& target, std::ostream& out) {
  if (files.GetFileAttributes(source.c_str()) == kInvalidFileAttributes) {
    out << "  not replaced " << target << ": " << source << " is missing\n";
    return;
  }
  if (files.GetFileAttributes(target.c_str()) != kInvalidFileAttributes) {
    files.SetFileAttributes(target.c_str(), kFileAttributeNormal);
    if (!files.DeleteFile(target.c_str())) {
      out << "  not replaced " << target << ": " << ErrorText(files) << "\n";
      return;
    }
  }
  if (files.MoveFile(source.c_str(), target.c_str()))
    out << "  replaced " << target << " by " << source << "\n";
  else
    out << "  not replaced " << target << ": " << ErrorText(files) << "\n";
}

void Delete(FileSystem& files, const std::string& path, std::ostream& out) {
  if (files.DeleteFile(path.c_str()))
    out << "  deleted " << path << "\n";
  else
    out << "  not deleted " << path << ": " << ErrorText(files) << "\n";
}

// Windows 95: WININIT carries out [Rename] of wininit.ini and keeps the file as wininit.bak.
void RunWininit(sim::Machine& machine, FileSystem& files, Profiles& profiles, std::ostream& out) {
  const std::string ini = WininitPath(machine);
  if (files.GetFileAttributes(ini.c_str()) == kInvalidFileAttributes) {
    out << "  no wininit.ini: nothing to rename\n";
    return;
  }
  // Grow the buffer until the whole section fits.
  std::vector<char> buffer(4096);
  std::uint32_t n = 0;
  for (;;) {
    n = profiles.GetSection("Rename", buffer.data(), std::uint32_t(buffer.size()), ini.c_str());
    if (n < buffer.size() - 2 || buffer.size() >= (1u << 24)) break;
    buffer.resize(buffer.size() * 2);
  }
  for (std::size_t at = 0; at < n && buffer[at];) {
    std::string entry(&buffer[at]);
    at += entry.size() + 1;
    auto eq = entry.find('=');
    if (eq == std::string::npos) {
      out << "  skipped \"" << entry << "\": no '='\n";
      continue;
    }
    std::string target = entry.substr(0, eq), source = entry.substr(eq + 1);
    if (SameText(target, "NUL"))
      Delete(files, source, out);
    else
      Replace(files, source, target, out);
  }
  const std::string bak = machine.Config().windowsDir + "\\wininit.bak";
  if (files.GetFileAttributes(bak.c_str()) != kInvalidFileAttributes) {
    files.SetFileAttributes(bak.c_str(), kFileAttributeNormal);
    files.DeleteFile(bak.c_str());
  }
  if (files.MoveFile(ini.c_str(), bak.c_str()))
    out << "  wininit.ini renamed to wininit.bak\n";
  else
    out << "  wininit.ini could not be renamed: " << ErrorText(files) << "\n";
}

// Windows NT: the session manager carries out PendingFileRenameOperations and removes it.
void RunPendingRenames(sim::RegistryStore& store, FileSystem& files, std::ostream& out) {
  auto key = store.FindPath(kSessionManager);
  sim::RegValue* value = key ? key->FindValue(kPendingRenames) : nullptr;
  if (!value) {
    out << "  no pending file operations\n";
    return;
  }
  if (value->type != kRegMultiSz) {
    out << "  " << kPendingRenames << " is not REG_MULTI_SZ: left alone\n";
    return;
  }
  auto strings = MultiStrings(value->data);
  for (std::size_t i = 0; i + 1 < strings.size() && !strings[i].empty(); i += 2) {
    const std::string source = StripNtPrefix(strings[i]);
    std::string target = strings[i + 1];
    if (target.empty()) {
      Delete(files, source, out);
      continue;
    }
    const bool replace = target[0] == '!';
    if (replace) target = target.substr(1);
    target = StripNtPrefix(target);
    if (!replace && files.GetFileAttributes(target.c_str()) != kInvalidFileAttributes) {
      out << "  not renamed " << source << ": " << target << " exists\n";
      continue;
    }
    Replace(files, source, target, out);
  }
  key->RemoveValue(kPendingRenames);
  out << "  " << kPendingRenames << " cleared\n";
}

std::size_t PendingCount(sim::Machine& machine, sim::RegistryStore& store, sim::Drive& drive) {
  if (machine.IsNt()) {
    auto key = store.FindPath(kSessionManager);
    sim::RegValue* value = key ? key->FindValue(kPendingRenames) : nullptr;
    if (!value) return 0;
    auto strings = MultiStrings(value->data);
    std::size_t pairs = 0;
    for (std::size_t i = 0; i + 1 < strings.size() && !strings[i].empty(); i += 2) ++pairs;
    return pairs;
  }
  sim::DrivePath ini = drive.Resolve(WininitPath(machine));
  if (!ini.exists) return 0;
  auto process = machine.StartProcess("j6sim");
  std::vector<char> buffer(1u << 16);
  std::uint32_t n = process->Os().profiles->GetSection("Rename", buffer.data(), std::uint32_t(buffer.size()),
                                                       WininitPath(machine).c_str());
  std::size_t count = 0;
  for (std::size_t at = 0; at < n && buffer[at]; at += std::strlen(&buffer[at]) + 1) ++count;
  return count;
}

}  // namespace

void PrintSummary(sim::Machine& machine, std::ostream& out) {
  // Read every file of the folder first, so a broken one stops the command before anything prints.
  auto& registry = machine.Get<sim::RegistryStore>();
  auto& drive = machine.Get<sim::Drive>();
  const auto& config = machine.Config();
  out << "Machine folder:   " << machine.Dir().string() << "\n";
  out << "Windows:          " << (machine.IsNt() ? "Windows NT" : "Windows 95") << "\n";
  out << "Windows dir:      " << config.windowsDir << "\n";
  out << "System dir:       " << config.systemDir << "\n";
  out << "Card:             ";
  switch (config.card.kind) {
    case sim::CardKind::kPci:
      out << "PCI";
      break;
    case sim::CardKind::kIsa:
      out << "ISA Plug and Play";
      break;
    case sim::CardKind::kNone:
      out << "none";
      break;
  }
  if (config.card.kind != sim::CardKind::kNone) {
    out << (config.card.legacyMode ? ", legacy mode" : ", native mode")
        << (config.card.gmRom ? ", General MIDI ROM" : ", no General MIDI ROM") << ", IRQ "
        << int(config.card.irq) << ", DMA " << int(config.card.dma[0]) << "/" << int(config.card.dma[1])
        << "/" << int(config.card.dma[2]) << ", table area " << config.card.tableAreaSize << " bytes";
  }
  out << "\n";
  for (const auto& d : config.pciDevices) {
    char line[64];
    std::snprintf(line, sizeof line, "PCI device:       %04X:%04X\n", d.vendor, d.device);
    out << line;
  }
  std::size_t files = 0, folders = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(machine.DriveRoot(), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_symlink(ec)) continue;
    if (it->is_directory(ec))
      ++folders;
    else if (it->is_regular_file(ec))
      ++files;
  }
  out << "Drive C:          " << drive.UsedBytes() << " bytes used in " << files << " files and " << folders
      << " folders, " << config.freeBytes << " bytes free\n";
  out << "Files in use:     " << drive.InUseCount() << "\n";
  out << "Registry keys:    " << registry.KeyCount() << "\n";
  out << "At next restart:  " << PendingCount(machine, registry, drive)
      << (machine.IsNt() ? " pending file operations\n" : " wininit.ini [Rename] entries\n");
}

void RebootMachine(sim::Machine& machine, std::ostream& out) {
  // Everything the restart reads is read before anything changes.
  auto& registry = machine.Get<sim::RegistryStore>();
  auto& drive = machine.Get<sim::Drive>();
  out << "Restarting " << machine.Dir().string() << "\n";
  drive.ClearInUse();
  auto process = machine.StartProcess(machine.IsNt() ? "smss.exe" : "wininit.exe");
  platform::Os& os = process->Os();
  if (machine.IsNt())
    RunPendingRenames(registry, *os.files, out);
  else
    RunWininit(machine, *os.files, *os.profiles, out);
  out << "Restarted\n";
}

}  // namespace j6sim
