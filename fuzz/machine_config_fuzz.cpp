// libFuzzer target: any bytes as machine.json. Reading either refuses the file with a MachineError or
// gives a configuration that writes and reads back the same.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/machine_config.h"
#include "sim/machine_error.h"

namespace {

std::string Text(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One file for the whole run, removed at its end; its name has the same length in every run.
  static const struct Scratch {
    Scratch() {
      char name[64];
      std::snprintf(name, sizeof name, "j6-fuzz-machine-%010ld.json", static_cast<long>(::getpid()));
      path = std::filesystem::temp_directory_path() / name;
    }
    ~Scratch() {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
    std::filesystem::path path;
  } scratch;
  const std::filesystem::path& file = scratch.path;
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  sim::MachineConfig config;
  try {
    config = sim::ReadMachineConfig(file);
  } catch (const sim::MachineError&) {
    return 0;
  }
  sim::WriteMachineConfig(file, config);
  const std::string written = Text(file);
  sim::MachineConfig again;
  try {
    again = sim::ReadMachineConfig(file);
  } catch (const sim::MachineError&) {
    std::abort();  // what we write we must read
  }
  sim::WriteMachineConfig(file, again);
  if (Text(file) != written) std::abort();
  return 0;
}
