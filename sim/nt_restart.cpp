#include "sim/nt_restart.h"

#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/pending_file_ops.h"
#include "sim/process.h"
#include "sim/services.h"

namespace sim {

std::vector<std::string> RestartNtMachine(Machine& machine) {
  // Nothing holds a file while the machine is down.
  machine.Get<Drive>().ClearInUse();
  std::vector<std::string> report = CarryOutPendingFileOperations(machine);
  auto boot = machine.StartProcess("SERVICES.EXE", "C:\\");
  auto& database = machine.Get<ServiceDatabase>();
  database.Restart(*boot->Os().registry, *boot->Os().files);
  for (const auto& name : database.Running()) report.push_back("service running: " + name);
  return report;
}

}  // namespace sim
