// Loading DLS collections on a simulated PC's card, for j6sim dls and the demo.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "sim/machine.h"

namespace j6sim {

struct DlsLoadOptions {
  bool replace = false;
  bool json = false;
  std::string dump;  // host file for the sample memory image; empty for none
};

// A file to load: its name for people, and the path the simulated PC reads it from.
struct DlsFile {
  std::string shown;
  std::string path;
};

// Initialises the machine's card, opens the engine, loads the files in order and prints the summary.
// Returns the exit status: 0 when every file loaded, 1 otherwise.
int LoadDlsCollections(sim::Machine& machine, const std::vector<DlsFile>& files,
                       const DlsLoadOptions& options, std::ostream& out);

}  // namespace j6sim
