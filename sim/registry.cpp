#include "sim/registry.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "sim/faults.h"
#include "sim/machine.h"

namespace sim {

namespace fs = std::filesystem;
using namespace platform;

namespace {

// The registry compares names in upper case, which also sets the order of subkeys ('_' after 'Z').
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

struct RootInfo {
  HKey handle;
  const char* name;
  const char* shortName;
};
constexpr RootInfo kRoots[] = {
    {kHkeyClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},     {kHkeyCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},   {kHkeyUsers, "HKEY_USERS", "HKU"},
    {kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"}, {kHkeyDynData, "HKEY_DYN_DATA", "HKDD"},
};

bool IsPredefined(HKey key) {
  for (const auto& r : kRoots)
    if (r.handle == key) return true;
  return false;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

void MarkDeleted(RegKey& key) {
  key.deleted = true;
  for (auto& [name, child] : key.subkeys) MarkDeleted(*child);
}

std::size_t CountKeys(const RegKey& key) {
  std::size_t n = key.subkeys.size();
  for (const auto& [name, child] : key.subkeys) n += CountKeys(*child);
  return n;
}

// Copies `text` into a caller's name buffer of *size characters; ERROR_MORE_DATA when it does not fit.
std::uint32_t CopyName(const std::string& text, char* name, std::uint32_t* size) {
  if (text.size() >= *size) return kErrorMoreData;
  std::memcpy(name, text.c_str(), text.size() + 1);
  *size = std::uint32_t(text.size());
  return kErrorSuccess;
}

}  // namespace

bool RegNameLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::uint8_t(Upper(x)) < std::uint8_t(Upper(y));
  });
}

bool RegNameEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

RegValue* RegKey::FindValue(const std::string& valueName) {
  for (auto& v : values)
    if (RegNameEqual(v.name, valueName)) return &v;
  return nullptr;
}

std::shared_ptr<RegKey> RegKey::FindSubkey(const std::string& keyName) const {
  auto it = subkeys.find(keyName);
  return it == subkeys.end() ? nullptr : it->second;
}

std::shared_ptr<RegKey> RegKey::AddSubkey(const std::string& keyName) {
  if (auto existing = FindSubkey(keyName)) return existing;
  auto key = std::make_shared<RegKey>();
  key->name = keyName;
  key->parent = this;
  subkeys.emplace(keyName, key);
  return key;
}

void RegKey::SetValue(const std::string& valueName, std::uint32_t type, std::vector<std::uint8_t> data) {
  if (RegValue* v = FindValue(valueName)) {
    v->type = type;
    v->data = std::move(data);
    return;
  }
  values.push_back(RegValue{valueName, type, std::move(data)});
}

bool RegKey::RemoveValue(const std::string& valueName) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const RegValue& v) { return RegNameEqual(v.name, valueName); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

bool RegKey::RemoveSubkey(const std::string& keyName) {
  auto it = subkeys.find(keyName);
  if (it == subkeys.end()) return false;
  MarkDeleted(*it->second);
  it->second->parent = nullptr;
  subkeys.erase(it);
  return true;
}

std::string RegKey::Path() const {
  return parent ? parent->Path() + "\\" + name : name;
}

RegistryStore::RegistryStore(Machine& machine) : machine_(&machine), family_(machine.Config().os) {
  MakeRoots();
  const fs::path file = machine.Dir() / "registry.reg";
  std::error_code ec;
  if (!fs::exists(file, ec)) return;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw MachineError(file.string() + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  LoadText(text.str(), file.string());
}

RegistryStore::RegistryStore(WindowsFamily family) : family_(family) {
  MakeRoots();
}

void RegistryStore::MakeRoots() {
  for (const auto& r : kRoots) {
    auto root = std::make_shared<RegKey>();
    root->name = r.name;
    roots_.push_back(root);
  }
}

void RegistryStore::Save() {
  if (!machine_) return;
  const fs::path file = machine_->Dir() / "registry.reg";
  const fs::path temp = machine_->Dir() / "registry.reg.new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << ToText();
    if (!out) throw MachineError(temp.string() + ": cannot be written");
  }
  std::error_code ec;
  fs::rename(temp, file, ec);
  if (ec) throw MachineError(file.string() + ": cannot be written: " + ec.message());
}

std::shared_ptr<RegKey> RegistryStore::Root(HKey predefined) const {
  for (std::size_t i = 0; i < std::size(kRoots); ++i)
    if (kRoots[i].handle == predefined) return roots_[i];
  return nullptr;
}

std::shared_ptr<RegKey> RegistryStore::RootByName(const std::string& name) const {
  for (std::size_t i = 0; i < std::size(kRoots); ++i)
    if (RegNameEqual(name, kRoots[i].name) || RegNameEqual(name, kRoots[i].shortName)) return roots_[i];
  return nullptr;
}

std::shared_ptr<RegKey> RegistryStore::Find(const std::shared_ptr<RegKey>& from,
                                            const std::string& path) const {
  std::shared_ptr<RegKey> key = from;
  for (const auto& part : SplitPath(path)) {
    key = key->FindSubkey(part);
    if (!key) return nullptr;
  }
  return key;
}

std::shared_ptr<RegKey> RegistryStore::FindPath(const std::string& fullPath) const {
  auto parts = fullPath.find('\\');
  auto root = RootByName(fullPath.substr(0, parts));
  if (!root) return nullptr;
  return parts == std::string::npos ? root : Find(root, fullPath.substr(parts + 1));
}

std::shared_ptr<RegKey> RegistryStore::CreatePath(const std::string& fullPath) {
  auto parts = SplitPath(fullPath);
  if (parts.empty()) return nullptr;
  auto key = RootByName(parts[0]);
  if (!key) return nullptr;
  for (std::size_t i = 1; i < parts.size(); ++i) key = key->AddSubkey(parts[i]);
  return key;
}

std::size_t RegistryStore::KeyCount() const {
  std::size_t n = 0;
  for (const auto& root : roots_) n += CountKeys(*root);
  return n;
}

void AddFreshWindowsKeys(RegistryStore& store) {
  const char* common[] = {
      "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
      "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
      "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
      "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services",
      "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\MediaResources",
  };
  for (const char* path : common) store.CreatePath(path);
  if (store.Family() == WindowsFamily::k95) {
    store.CreatePath("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD");
    store.CreatePath("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\MEDIA");
    auto tray =
        store.CreatePath("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray");
    if (!tray->FindValue("Services")) tray->SetValue("Services", kRegDword, {0, 0, 0, 0});
  } else {
    store.CreatePath("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager");
    store.CreatePath("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32");
  }
}

// ---- ProcessRegistry ----

ProcessRegistry::ProcessRegistry(RegistryStore& store, Faults* faults) : store_(store), faults_(faults) {}

bool ProcessRegistry::WriteFails() {
  return faults_ && faults_->ShouldFail(fault::kRegistryWrite);
}

std::uint32_t ProcessRegistry::Resolve(HKey key, std::shared_ptr<RegKey>* out) const {
  if (auto root = store_.Root(key)) {
    *out = root;
    return kErrorSuccess;
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return key == 0 && !IsNt() ? kErrorBadKey : kErrorInvalidHandle;
  if (it->second->deleted) return kErrorKeyDeleted;
  *out = it->second;
  return kErrorSuccess;
}

HKey ProcessRegistry::NewHandle(std::shared_ptr<RegKey> key) {
  HKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::move(key));
  return handle;
}

std::uint32_t ProcessRegistry::OpenKey(HKey parent, const char* subkey, HKey* out) {
  if (!out) return kErrorInvalidParameter;
  *out = 0;
  std::shared_ptr<RegKey> key;
  if (auto rc = Resolve(parent, &key)) return rc;
  if (!subkey || !*subkey) {
    // The predefined handles open as themselves; any other key gets a new handle of its own.
    *out = IsPredefined(parent) ? parent : NewHandle(key);
    return kErrorSuccess;
  }
  if (subkey[0] == '\\') return kErrorBadPathname;
  auto found = store_.Find(key, subkey);
  if (!found) return kErrorFileNotFound;
  *out = NewHandle(found);
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::CreateKey(HKey parent, const char* subkey, HKey* out, bool* created) {
  if (!out) return kErrorInvalidParameter;
  *out = 0;
  std::shared_ptr<RegKey> key;
  if (auto rc = Resolve(parent, &key)) return rc;
  if (subkey && subkey[0] == '\\') return kErrorBadPathname;
  auto parts = SplitPath(subkey ? subkey : "");
  for (const auto& part : parts)
    if (part.size() > 255) return kErrorInvalidParameter;
  if (WriteFails()) return kErrorAccessDenied;
  bool isNew = false;
  for (const auto& part : parts) {
    auto next = key->FindSubkey(part);
    if (!next) {
      next = key->AddSubkey(part);
      isNew = true;
    }
    key = next;
  }
  if (created) *created = isNew;
  *out = parts.empty() && IsPredefined(parent) ? parent : NewHandle(key);
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::CloseKey(HKey key) {
  if (IsPredefined(key)) return kErrorSuccess;
  if (handles_.erase(key) == 0) return IsNt() ? kErrorInvalidHandle : kErrorSuccess;
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::DeleteKey(HKey parent, const char* subkey) {
  if (!subkey) return kErrorInvalidParameter;
  std::shared_ptr<RegKey> key;
  if (auto rc = Resolve(parent, &key)) return rc;
  if (subkey[0] == '\\') return kErrorBadPathname;
  auto target = *subkey ? store_.Find(key, subkey) : key;
  if (!target) return kErrorFileNotFound;
  if (!target->parent) return kErrorAccessDenied;  // a root
  if (IsNt() && !target->subkeys.empty()) return kErrorAccessDenied;
  if (WriteFails()) return kErrorAccessDenied;
  target->parent->RemoveSubkey(target->name);
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::QueryValue(HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                          std::uint32_t* size) {
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  if (data && !size) return kErrorInvalidParameter;
  RegValue* v = k->FindValue(name ? name : "");
  if (!v) return kErrorFileNotFound;
  if (type) *type = v->type;
  const auto needed = std::uint32_t(v->data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
    std::copy(v->data.begin(), v->data.end(), data);
  }
  if (size) *size = needed;
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::SetValue(HKey key, const char* name, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t size) {
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  if (!data && (size != 0 || !IsNt())) return kErrorInvalidParameter;
  // Value names: 255 characters on Windows 95, 16,383 on NT.
  if (name && std::strlen(name) > (IsNt() ? 16383u : 255u)) return kErrorInvalidParameter;
  std::vector<std::uint8_t> bytes(data, data + (data ? size : 0));
  // A string without its terminator gets one, as the registry adds it.
  if ((type == kRegSz || type == kRegExpandSz) && (bytes.empty() || bytes.back() != 0) && data)
    bytes.push_back(0);
  if (WriteFails()) return kErrorAccessDenied;
  k->SetValue(name ? name : "", type, std::move(bytes));
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::SetDefaultValue(HKey key, const char* subkey, const char* text) {
  if (!text) return kErrorInvalidParameter;
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  if (subkey && subkey[0] == '\\') return kErrorBadPathname;
  if (WriteFails()) return kErrorAccessDenied;
  for (const auto& part : SplitPath(subkey ? subkey : "")) k = k->AddSubkey(part);
  std::vector<std::uint8_t> bytes(text, text + std::strlen(text) + 1);
  k->SetValue("", kRegSz, std::move(bytes));
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::DeleteValue(HKey key, const char* name) {
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  if (!k->FindValue(name ? name : "")) return kErrorFileNotFound;
  if (WriteFails()) return kErrorAccessDenied;
  k->RemoveValue(name ? name : "");
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) {
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  if (!name || !nameSize) return kErrorInvalidParameter;
  if (index >= k->subkeys.size()) return kErrorNoMoreItems;
  auto it = k->subkeys.begin();
  std::advance(it, index);
  return CopyName(it->second->name, name, nameSize);
}

std::uint32_t ProcessRegistry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                         std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  if (!name || !nameSize) return kErrorInvalidParameter;
  if (data && !dataSize) return kErrorInvalidParameter;
  if (index >= k->values.size()) return kErrorNoMoreItems;
  const RegValue& v = k->values[index];
  const auto needed = std::uint32_t(v.data.size());
  if (v.name.size() >= *nameSize) return kErrorMoreData;
  if (data && *dataSize < needed) {
    *dataSize = needed;
    return kErrorMoreData;
  }
  CopyName(v.name, name, nameSize);
  if (type) *type = v.type;
  if (data) std::copy(v.data.begin(), v.data.end(), data);
  if (dataSize) *dataSize = needed;
  return kErrorSuccess;
}

std::uint32_t ProcessRegistry::QueryInfoKey(HKey key, std::uint32_t* subkeys, std::uint32_t* maxSubkeyLen,
                                            std::uint32_t* values, std::uint32_t* maxValueNameLen,
                                            std::uint32_t* maxValueLen) {
  std::shared_ptr<RegKey> k;
  if (auto rc = Resolve(key, &k)) return rc;
  std::uint32_t longestKey = 0, longestName = 0, longestData = 0;
  for (const auto& [name, child] : k->subkeys)
    longestKey = std::max(longestKey, std::uint32_t(child->name.size()));
  for (const auto& v : k->values) {
    longestName = std::max(longestName, std::uint32_t(v.name.size()));
    auto bytes = std::uint32_t(v.data.size());
    // NT keeps strings in UTF-16 and counts those bytes, even through the ANSI call.
    if (IsNt() && (v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegMultiSz)) bytes *= 2;
    longestData = std::max(longestData, bytes);
  }
  if (subkeys) *subkeys = std::uint32_t(k->subkeys.size());
  if (maxSubkeyLen) *maxSubkeyLen = longestKey;
  if (values) *values = std::uint32_t(k->values.size());
  if (maxValueNameLen) *maxValueNameLen = longestName;
  if (maxValueLen) *maxValueLen = longestData;
  return kErrorSuccess;
}

}  // namespace sim
