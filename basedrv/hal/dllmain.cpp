// Library entry: process attach and detach, the calling-process selection, and the thunk connection.
#include <cstring>

#include "basedrv/hal/hal.h"
#include "basedrv/hal/vexa1632.h"

namespace j6base {

namespace {

thread_local ProcessContext* tCurrent = nullptr;
// The process a Windows build serves, for threads that selected none (callers of the exports).
ProcessContext* gLoaded = nullptr;

std::uint32_t thk_ThunkConnect32(const char* library16, const char* library32, std::uintptr_t instance,
                                 std::uint32_t reason) {
  platform::Os* os = CurrentOs();
  // A PC without the thunk layer (the simulated one unless a test installs it) connects trivially.
  if (!os || !os->thunk) return 1;
  return os->thunk->Connect32(&thk_ThunkData32, "thk_ThunkData16", library16, library32, instance, reason)
             ? 1
             : 0;
}

}  // namespace

ProcessContext* CurrentProcess() {
  return tCurrent ? tCurrent : gLoaded;
}

void SetLoadedProcess(ProcessContext* process) {
  gLoaded = process;
}

ScopedProcess::ScopedProcess(ProcessContext& process) : previous_(tCurrent) {
  tCurrent = &process;
}
ScopedProcess::~ScopedProcess() {
  tCurrent = previous_;
}

SharedSection* Shared() {
  return tCurrent ? &tCurrent->Shared() : nullptr;
}
platform::Os* CurrentOs() {
  return tCurrent ? &tCurrent->Os() : nullptr;
}

void DlsGetCommonData() {
  SharedSection* shared = Shared();
  if (!shared) return;
  std::uint8_t in[4] = {};
  LeBytes(in).Set32(0, kDlsCommonSize);
  std::uint8_t out[4] = {};
  std::uint32_t returned = 0;
  // Every attach overwrites the shared pointer, so one process without the device nulls it for all.
  if (VxD_APICall(service::kCommonData, in, out, sizeof in, sizeof out, &returned, nullptr))
    shared->glpDls = LeBytes(out).U32(0);
  else
    shared->glpDls = 0;
}

std::uint32_t LibMain(std::uintptr_t instance, std::uint32_t reason, void*) {
  if (reason == kProcessAttach) {
    VxD_Open();
    DlsGetCommonData();
  } else if (reason == kProcessDetach) {
    VxD_Close();
  }
  return thk_ThunkConnect32("j6thunk.dll", "j6base.dll", instance, reason) ? 1 : 0;
}

LoadedLibrary::LoadedLibrary(ProcessContext& process, std::uintptr_t instance)
    : process_(process), instance_(instance) {
  ScopedProcess scope(process_);
  loaded_ = LibMain(instance_, kProcessAttach, nullptr) != 0;
}

LoadedLibrary::~LoadedLibrary() {
  ScopedProcess scope(process_);
  LibMain(instance_, kProcessDetach, nullptr);
}

}  // namespace j6base
