// REGEDIT4 text: the form registry.reg is kept in, and the files `regedit /s` imports.
#pragma once

#include <string>
#include <vector>

namespace sim {

class Faults;
class RegistryStore;

struct RegImportResult {
  // False when the header was refused: then nothing was imported.
  bool imported = false;
  // "line N: reason" for every line that was skipped or whose write failed.
  std::vector<std::string> problems;
};

// What `regedit /s file` does with the file's text: keys in [brackets] are created, [-key] deletes a
// branch, "name"="text", dword:, hex:, hex(N): set values, "name"=- deletes one. Bad lines are
// skipped and reported; an unknown root skips its section. Each change asks fault::kRegistryWrite
// when `faults` is given. Accepts "REGEDIT4" and "Windows Registry Editor Version 5.00" (also as
// UTF-16 with a byte order mark).
RegImportResult ImportRegFile(RegistryStore& store, const std::string& text, Faults* faults = nullptr);

// The registry as REGEDIT4 text. Every value comes back byte for byte when read again: strings that
// a quoted form cannot carry exactly are written as hex(1).
std::string ExportRegText(const RegistryStore& store);

}  // namespace sim
