// File operations a Windows NT restart carries out: MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT appends
// a pair to the REG_MULTI_SZ value PendingFileRenameOperations under
// HKLM\System\CurrentControlSet\Control\Session Manager: the source as "\??\C:\path", then the target
// ("!" in front when it may replace an existing file) or an empty string when the file is to be deleted.
#pragma once

#include <string>
#include <vector>

namespace sim {

class Machine;
class RegistryStore;

struct PendingFileOperation {
  std::string source;  // without "\??\"
  std::string target;  // empty: delete the source
  bool replace = false;
};

// The operations waiting for the next restart, in order.
std::vector<PendingFileOperation> PendingFileOperations(const RegistryStore& registry);
void AddPendingFileOperation(RegistryStore& registry, const PendingFileOperation& operation);

// What the restart does with them: each is carried out in order (a failing one is passed over and
// reported; a rename without the replace mark never overwrites), and the value is removed. A value that
// is not REG_MULTI_SZ is left alone. Returns one line per operation, for the user of j6sim.
std::vector<std::string> CarryOutPendingFileOperations(Machine& machine);

}  // namespace sim
