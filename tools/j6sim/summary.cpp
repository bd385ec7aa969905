#include "tools/j6sim/summary.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "sim/drive.h"
#include "sim/nt_restart.h"
#include "sim/pending_file_ops.h"
#include "sim/process.h"
#include "sim/registry.h"
#include "sim/services.h"

namespace j6sim {

namespace fs = std::filesystem;
using namespace platform;

namespace {

std::string WininitPath(const sim::Machine& machine) {
  return machine.Config().windowsDir + "\\wininit.ini";
}

bool SameText(const std::string& a, const std::string& b) {
  return sim::RegNameEqual(a, b);
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

std::size_t PendingCount(sim::Machine& machine, sim::RegistryStore& store, sim::Drive& drive) {
  if (machine.IsNt()) return sim::PendingFileOperations(store).size();
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
  machine.Get<sim::RegistryStore>();
  auto& drive = machine.Get<sim::Drive>();
  out << "Restarting " << machine.Dir().string() << "\n";
  drive.ClearInUse();
  if (machine.IsNt()) {
    for (const auto& line : sim::RestartNtMachine(machine)) out << "  " << line << "\n";
  } else {
    auto process = machine.StartProcess("wininit.exe");
    RunWininit(machine, *process->Os().files, *process->Os().profiles, out);
  }
  out << "Restarted\n";
}

}  // namespace j6sim
