// Win32 behaviour that the deliverables rely on, written once as tables of cases that run against any
// backend: the simulated PC here, and the real Win32 API (under Wine or on Windows) elsewhere. Each
// case gets the program's platform::Os, an empty registry key and an empty folder to work in, and
// checks with GoogleTest assertions. Out-parameters are filled with 0xdeadbeef first, so an output
// that was not written is caught.
//
// A case whose result differs between Windows 95 and NT comes as two rows, each marked with its
// family; a runner runs a row only on a machine of that family. Rows whose result Wine is known not
// to reproduce are marked, so a Wine runner can expect them to fail rather than hide them.
#pragma once

#include <string>
#include <vector>

#include "platform/os.h"

namespace conformance {

constexpr std::uint32_t kSentinel = 0xdeadbeef;

enum class Family { kAny, k95, kNt };

struct Env {
  platform::Os& os;
  // An open, empty key this case may fill; the runner removes it afterwards.
  platform::HKey scratchKey;
  // An empty folder (a full Windows path without the trailing backslash); the runner removes it.
  std::string scratchDir;

  bool Is95() const { return os.family == platform::WindowsFamily::k95; }
  std::string Path(const std::string& name) const { return scratchDir + "\\" + name; }
};

struct Case {
  const char* name;
  Family family;
  void (*run)(Env& env);
  bool wineDiffers = false;
};

const std::vector<Case>& RegistryCases();
const std::vector<Case>& ProfileCases();
const std::vector<Case>& FileCases();
const std::vector<Case>& RiffCases();
// Windows NT only; Windows 95 has no service manager and no setup file queue.
const std::vector<Case>& ServiceCases();
const std::vector<Case>& FileQueueCases();

// Whether a row applies to a machine of the given Windows.
bool Applies(const Case& c, platform::WindowsFamily family);

}  // namespace conformance
