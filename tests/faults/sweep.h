// Fault-injection sweep: a flow runs once on a clean machine to count how often it asks each fault point;
// then, on a fresh copy of the same machine each time, exactly one of those hits fails. Whatever fails,
// the flow must end with the outcome it defines for that failure, change no registry key the clean run
// leaves alone, leave every file it found either as it was or as the clean run leaves it, and give back
// every block it took.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/os.h"
#include "sim/machine.h"

namespace faults_test {

// At most this many injected faults per flow unless the flow says fewer: spread evenly over all hits.
inline constexpr std::size_t kMaxFaults = 300;

// Where a flow's faults may strike: from Arm() to Disarm() (or the end of the run). The preparation of
// a run (starting the process, opening the engine) happens before Arm() and is never faulted.
class FaultWindow {
 public:
  virtual ~FaultWindow() = default;
  virtual void Arm() = 0;
  virtual void Disarm() = 0;
  // The fault point that fails in this run; empty in the clean run.
  virtual std::string Point() const = 0;
};

// What one run of a flow reports besides what the harness reads from the machine.
struct Outcome {
  bool ok = true;                     // ended as the flow defines it may end
  std::string detail;                 // shown with every failed check
  std::vector<std::string> problems;  // leaks and broken invariants found by the flow itself
  // Files (Windows paths) whose copy failed and was skipped, as the system's copy handler skips it: the
  // flow had removed the old one by design, so they may be missing. "FOLDER\\*" covers a folder's files.
  std::vector<std::string> skipped;
};

struct Flow {
  std::string name;
  platform::WindowsFamily family = platform::WindowsFamily::k95;
  // Runs once on a new machine, which is then saved and copied for every run; may be empty.
  std::function<void(sim::Machine&)> prepare;
  // One run on a loaded copy of the prepared machine. It must end every process it started.
  std::function<Outcome(sim::Machine&, FaultWindow&)> run;
  std::size_t cap = kMaxFaults;
  // Registry keys (full paths, any letter case; each covers its subtree) that are the flow's own beyond
  // those its clean run changes: places a failure may leave otherwise, as the flow defines (a deferred
  // deletion, an import that did not run, a service left running).
  std::vector<std::string> ownKeys;
};

struct SweepFigures {
  std::map<std::string, std::uint64_t> hits;  // per fault point, in the clean run
  std::size_t totalHits = 0;
  std::size_t injected = 0;
  std::size_t fired = 0;  // runs in which the armed hit was reached
  double seconds = 0;
};

// Runs the clean run and every chosen fault, records failed checks with gtest, prints the figures.
SweepFigures RunSweep(const Flow& flow);

// Registry keys by their path in upper case (names are compared without regard to case), each with the
// lines of its values; and the files below drive C with their content.
using Sections = std::map<std::string, std::string>;
using Files = std::map<std::string, std::string>;
Sections RegistryOf(sim::Machine& machine);
Files FilesOf(sim::Machine& machine);

}  // namespace faults_test
