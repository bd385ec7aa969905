// Loading DLS collections on a simulated PC's card, for j6sim dls and the demo.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "sim/machine.h"

namespace dls {
struct DlsEnv;
struct ReadPlace;
}  // namespace dls

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

// What `j6sim dls check` says of a refused file: the reason and the instrument, region, wave and chunk
// the reader had reached.
std::string PlaceText(const dls::ReadPlace& place);

// What `j6sim dls check` prints of a loaded collection: its instruments and drum kits as the tables hold
// them.
void PrintLoadedCollection(const dls::DlsEnv& env, std::uint32_t collection, std::ostream& out);

}  // namespace j6sim
