#include "nt_machine.h"
#include "tests/support/test_folder.h"

#include <fstream>
#include <iterator>

namespace setupnt_test {

namespace {

// "HKLM\a\b" -> root and "a\b".
std::pair<platform::HKey, std::string> Split(const std::string& key) {
  auto slash = key.find('\\');
  std::string root = key.substr(0, slash);
  std::string rest = slash == std::string::npos ? "" : key.substr(slash + 1);
  return {root == "HKCU" ? platform::kHkeyCurrentUser : platform::kHkeyLocalMachine, rest};
}

}  // namespace

void NtMachine::SetUp() {
  dir_ = j6_testing::TestFolder("j6-setupnt");
  fs::remove_all(dir_);
  machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(platform::WindowsFamily::kNt));
  process_ = machine_->StartProcess("TEST.EXE", "C:\\");
  SetUi({});
}

void NtMachine::TearDown() {
  process_.reset();
  machine_.reset();
  fs::remove_all(dir_);
}

void NtMachine::Restart(const std::string& currentDir) {
  process_.reset();
  machine_->Save();
  process_ = machine_->StartProcess("TEST.EXE", currentDir);
  SetUi({});
}

void NtMachine::SetUi(std::vector<sim::UiStep> steps) {
  ui_ = std::make_unique<sim::SimUi>(std::move(steps));
  ui_->SetFiles(Os().files);
  Os().ui = ui_.get();
}

void NtMachine::MakeKey(const std::string& key) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  ASSERT_EQ(Os().registry->CreateKey(root, path.c_str(), &h), 0u) << key;
  Os().registry->CloseKey(h);
}

void NtMachine::SetString(const std::string& key, const std::string& name, const std::string& data) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  ASSERT_EQ(Os().registry->CreateKey(root, path.c_str(), &h), 0u) << key;
  Os().registry->SetValue(h, name.c_str(), platform::kRegSz,
                          reinterpret_cast<const std::uint8_t*>(data.c_str()),
                          static_cast<std::uint32_t>(data.size() + 1));
  Os().registry->CloseKey(h);
}

void NtMachine::SetDword(const std::string& key, const std::string& name, std::uint32_t value) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  ASSERT_EQ(Os().registry->CreateKey(root, path.c_str(), &h), 0u) << key;
  std::uint8_t bytes[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                           std::uint8_t(value >> 24)};
  Os().registry->SetValue(h, name.c_str(), platform::kRegDword, bytes, 4);
  Os().registry->CloseKey(h);
}

bool NtMachine::KeyExists(const std::string& key) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  if (Os().registry->OpenKey(root, path.c_str(), &h) != 0) return false;
  Os().registry->CloseKey(h);
  return true;
}

bool NtMachine::ValueExists(const std::string& key, const std::string& name) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  if (Os().registry->OpenKey(root, path.c_str(), &h) != 0) return false;
  std::uint32_t type = 0, size = 0;
  bool found = Os().registry->QueryValue(h, name.c_str(), &type, nullptr, &size) == 0;
  Os().registry->CloseKey(h);
  return found;
}

std::string NtMachine::GetString(const std::string& key, const std::string& name) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  if (Os().registry->OpenKey(root, path.c_str(), &h) != 0) return "<no key>";
  std::uint8_t data[1024] = {};
  std::uint32_t type = 0, size = sizeof data - 1;
  std::uint32_t rc = Os().registry->QueryValue(h, name.c_str(), &type, data, &size);
  Os().registry->CloseKey(h);
  return rc == 0 ? std::string(reinterpret_cast<const char*>(data)) : "<no value>";
}

std::uint32_t NtMachine::GetDword(const std::string& key, const std::string& name) {
  auto [root, path] = Split(key);
  platform::HKey h = 0;
  if (Os().registry->OpenKey(root, path.c_str(), &h) != 0) return 0xDEADBEEF;
  std::uint8_t data[4] = {};
  std::uint32_t type = 0, size = 4;
  std::uint32_t rc = Os().registry->QueryValue(h, name.c_str(), &type, data, &size);
  Os().registry->CloseKey(h);
  if (rc != 0 || type != platform::kRegDword) return 0xDEADBEEF;
  return data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24;
}

std::vector<std::string> NtMachine::ValueNames(const std::string& key) {
  auto [root, path] = Split(key);
  std::vector<std::string> names;
  platform::HKey h = 0;
  if (Os().registry->OpenKey(root, path.c_str(), &h) != 0) return names;
  for (std::uint32_t i = 0;; ++i) {
    char name[256] = {};
    std::uint8_t data[1024];
    std::uint32_t nameSize = sizeof name, dataSize = sizeof data, type = 0;
    if (Os().registry->EnumValue(h, i, name, &nameSize, &type, data, &dataSize) != 0) break;
    names.push_back(name);
  }
  Os().registry->CloseKey(h);
  return names;
}

std::vector<std::string> NtMachine::SubkeyNames(const std::string& key) {
  auto [root, path] = Split(key);
  std::vector<std::string> names;
  platform::HKey h = 0;
  if (Os().registry->OpenKey(root, path.c_str(), &h) != 0) return names;
  for (std::uint32_t i = 0;; ++i) {
    char name[256] = {};
    std::uint32_t nameSize = sizeof name;
    if (Os().registry->EnumKey(h, i, name, &nameSize) != 0) break;
    names.push_back(name);
  }
  Os().registry->CloseKey(h);
  return names;
}

void NtMachine::WriteFile(const std::string& windowsPath, const std::string& content) {
  WriteFile(windowsPath, std::vector<std::uint8_t>(content.begin(), content.end()));
}

void NtMachine::WriteFile(const std::string& windowsPath, const std::vector<std::uint8_t>& content) {
  auto* files = Os().files;
  // Folders first.
  for (std::size_t at = windowsPath.find('\\', 3); at != std::string::npos;
       at = windowsPath.find('\\', at + 1))
    files->CreateDirectory(windowsPath.substr(0, at).c_str());
  platform::FileHandle file = files->OpenFile(windowsPath.c_str(), platform::OpenMode::kCreateAlways);
  ASSERT_NE(file, platform::kInvalidFileHandle) << windowsPath;
  std::uint32_t written = 0;
  files->WriteFile(file, content.data(), static_cast<std::uint32_t>(content.size()), &written);
  files->CloseFile(file);
}

bool NtMachine::FileExists(const std::string& windowsPath) const {
  return process_->Os().files->GetFileAttributes(windowsPath.c_str()) != platform::kInvalidFileAttributes;
}

std::string NtMachine::ReadFile(const std::string& windowsPath) const {
  auto* files = process_->Os().files;
  platform::FileHandle file = files->OpenFile(windowsPath.c_str(), platform::OpenMode::kRead);
  if (file == platform::kInvalidFileHandle) return "<missing>";
  std::string out(static_cast<std::size_t>(files->GetFileSize(file)), '\0');
  std::uint32_t read = 0;
  files->ReadFile(file, out.data(), static_cast<std::uint32_t>(out.size()), &read);
  files->CloseFile(file);
  out.resize(read);
  return out;
}

ntdisk::NtDiskOptions NtMachine::SmallDisk() {
  ntdisk::NtDiskOptions options;
  options.bankBytes[0] = 1000;
  options.bankBytes[1] = 2000;
  options.bankBytes[2] = 4000;
  return options;
}

void NtMachine::PutDisk(const std::string& windowsDir, const ntdisk::NtDiskOptions& options) {
  fs::path host = dir_.string() + "-disk";
  fs::remove_all(host);
  ntdisk::WriteNtDisk(host, options);
  for (const auto& entry : fs::directory_iterator(host)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WriteFile(windowsDir + "\\" + entry.path().filename().string(), bytes);
  }
  fs::remove_all(host);
}

std::vector<int> NtMachine::BarPositions() const {
  std::vector<int> positions;
  for (const auto& line : ui_->Transcript())
    if (line.rfind("  bar ", 0) == 0) positions.push_back(std::stoi(line.substr(6)));
  return positions;
}

}  // namespace setupnt_test
