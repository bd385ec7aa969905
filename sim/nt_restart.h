// What a restart of a simulated Windows NT machine does beyond the drive: the pending file operations
// first (as the session manager does them before any driver loads), then the service manager starts
// afresh.
#pragma once

#include <string>
#include <vector>

namespace sim {

class Machine;

// Returns one line per thing done, for the user of j6sim.
std::vector<std::string> RestartNtMachine(Machine& machine);

}  // namespace sim
