// libFuzzer target: any bytes as REGEDIT4 text, both as the machine's registry.reg (strict loading)
// and as a file `regedit /s` imports (lenient). Whatever either accepts must export and load back
// unchanged.
#include <cstdlib>
#include <string>

#include "sim/machine_error.h"
#include "sim/regedit.h"
#include "sim/registry.h"

namespace {

void RoundTrip(const sim::RegistryStore& store) {
  const std::string text = store.ToText();
  sim::RegistryStore again(platform::WindowsFamily::k95);
  try {
    again.LoadText(text, "again");
  } catch (const sim::MachineError&) {
    std::abort();  // our own export must always load
  }
  if (again.ToText() != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  {
    sim::RegistryStore store(platform::WindowsFamily::k95);
    bool loaded = true;
    try {
      store.LoadText(text, "registry.reg");
    } catch (const sim::MachineError&) {
      loaded = false;
    }
    if (loaded) RoundTrip(store);
  }
  {
    sim::RegistryStore store(platform::WindowsFamily::k95);
    sim::ImportRegFile(store, text);
    RoundTrip(store);
  }
  return 0;
}
