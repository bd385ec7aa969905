#include "sim/machine.h"

#include <system_error>

#include "sim/process.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

// "C:\WINDOWS\SYSTEM" -> "WINDOWS/SYSTEM" below the drive folder.
fs::path DrivePath(const std::string& windowsPath) {
  std::string rest = windowsPath;
  if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
  fs::path out;
  std::string part;
  for (char c : rest + "\\") {
    if (c == '\\' || c == '/') {
      if (!part.empty()) out /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  return out;
}

}  // namespace

Machine::Machine(fs::path dir, MachineConfig config) : dir_(std::move(dir)), config_(std::move(config)) {}

Machine::~Machine() = default;

std::unique_ptr<Machine> Machine::Create(const fs::path& dir, const MachineConfig& config) {
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_empty(dir, ec))
    throw MachineError(dir.string() + ": already exists and is not empty");
  fs::create_directories(dir / "C", ec);
  if (ec) throw MachineError(dir.string() + ": cannot be made: " + ec.message());
  std::vector<std::string> folders = {config.windowsDir, config.systemDir};
  if (config.os == platform::WindowsFamily::k95) {
    folders.push_back(config.windowsDir + "\\INF");
    folders.push_back(config.windowsDir + "\\COMMAND");
  } else {
    folders.push_back(config.systemDir + "\\DRIVERS");
  }
  folders.push_back(config.windowsDir + "\\TEMP");
  for (const auto& folder : folders) {
    fs::create_directories(dir / "C" / DrivePath(folder), ec);
    if (ec)
      throw MachineError((dir / "C" / DrivePath(folder)).string() + ": cannot be made: " + ec.message());
  }
  WriteMachineConfig(dir / "machine.json", config);
  auto machine = std::unique_ptr<Machine>(new Machine(dir, config));
  machine->Save();
  return machine;
}

std::unique_ptr<Machine> Machine::Load(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw MachineError(dir.string() + ": no such machine folder");
  MachineConfig config = ReadMachineConfig(dir / "machine.json");
  if (!fs::is_directory(dir / "C", ec))
    throw MachineError((dir / "C").string() + ": drive C folder is missing");
  return std::unique_ptr<Machine>(new Machine(dir, std::move(config)));
}

void Machine::Save() {
  WriteMachineConfig(dir_ / "machine.json", config_);
  for (auto& [key, component] : components_) component->Save();
}

std::unique_ptr<Process> Machine::StartProcess(const std::string& name, const std::string& currentDir) {
  return std::make_unique<Process>(*this, NextProcessId(), name, currentDir);
}

}  // namespace sim
