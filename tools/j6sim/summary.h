#pragma once

#include <iosfwd>

#include "sim/machine.h"

namespace j6sim {

// What `j6sim show` prints about a machine.
void PrintSummary(sim::Machine& machine, std::ostream& out);

// Carries out a restart of the machine and tells what it did.
void RebootMachine(sim::Machine& machine, std::ostream& out);

}  // namespace j6sim
