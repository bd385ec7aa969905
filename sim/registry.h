// The registry of a simulated PC. RegistryStore is the machine's one tree, read from registry.reg
// when first used and written back by Machine::Save(); ProcessRegistry is one program's view of it,
// with its own key handles, behaving as the ANSI registry calls of the machine's Windows do.
//
// Fault point: fault::kRegistryWrite, asked by every call that would create or change something
// (CreateKey, SetValue, SetDefaultValue, DeleteValue, DeleteKey); a failed call returns access denied.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/registry.h"

namespace sim {

class Machine;

// Orders key names as the registry does: without regard to letter case.
struct RegNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
bool RegNameEqual(const std::string& a, const std::string& b);

struct RegValue {
  std::string name;  // "" is the default value
  std::uint32_t type = platform::kRegSz;
  std::vector<std::uint8_t> data;
};

struct RegKey {
  std::string name;  // with the case it was created with
  RegKey* parent = nullptr;
  bool deleted = false;
  std::vector<RegValue> values;  // in creation order
  std::map<std::string, std::shared_ptr<RegKey>, RegNameLess> subkeys;

  RegValue* FindValue(const std::string& valueName);
  std::shared_ptr<RegKey> FindSubkey(const std::string& keyName) const;
  // Creates the subkey if missing; returns it.
  std::shared_ptr<RegKey> AddSubkey(const std::string& keyName);
  void SetValue(const std::string& valueName, std::uint32_t type, std::vector<std::uint8_t> data);
  bool RemoveValue(const std::string& valueName);
  // Detaches the subkey and marks its whole branch deleted.
  bool RemoveSubkey(const std::string& keyName);
  // Full path from its root, e.g. "HKEY_LOCAL_MACHINE\Software\X".
  std::string Path() const;
};

class RegistryStore {
 public:
  // Reads <machine>/registry.reg if it exists (a missing file is an empty registry). Throws
  // MachineError "registry.reg:line: reason" for a file it cannot read.
  explicit RegistryStore(Machine& machine);
  // A store with no machine folder behind it (for tests of the parser and writer).
  explicit RegistryStore(platform::WindowsFamily family);

  // Writes registry.reg (through a temporary file, so a failed write leaves the old one).
  void Save();

  platform::WindowsFamily Family() const { return family_; }
  Machine* GetMachine() { return machine_; }

  // The root key of a predefined handle, or null.
  std::shared_ptr<RegKey> Root(platform::HKey predefined) const;
  // The root key named in a REGEDIT4 section ("HKEY_LOCAL_MACHINE", "HKLM", any case), or null.
  std::shared_ptr<RegKey> RootByName(const std::string& name) const;
  const std::vector<std::shared_ptr<RegKey>>& Roots() const { return roots_; }

  // Follows a path of "\"-separated names below `from`; null when a part is missing.
  std::shared_ptr<RegKey> Find(const std::shared_ptr<RegKey>& from, const std::string& path) const;
  // "HKEY_LOCAL_MACHINE\Software\X" (or "HKLM\...") -> the key, or null.
  std::shared_ptr<RegKey> FindPath(const std::string& fullPath) const;
  std::shared_ptr<RegKey> CreatePath(const std::string& fullPath);

  // Number of keys below the roots.
  std::size_t KeyCount() const;

  // The whole registry as REGEDIT4 text, and back (strict: the first bad line throws MachineError
  // naming `where` and the line).
  std::string ToText() const;
  void LoadText(const std::string& text, const std::string& where);

 private:
  void MakeRoots();

  Machine* machine_ = nullptr;
  platform::WindowsFamily family_;
  std::vector<std::shared_ptr<RegKey>> roots_;
};

// The keys a freshly installed Windows of the store's family has, as far as the driver package
// touches them (Run/RunOnce/Uninstall, the tray applet switch on Windows 95, the services and the
// session manager on NT). Existing keys and values are kept.
void AddFreshWindowsKeys(RegistryStore& store);

// One process's registry handles over the machine's store.
class ProcessRegistry : public platform::Registry {
 public:
  ProcessRegistry(RegistryStore& store, class Faults* faults);

  std::uint32_t OpenKey(platform::HKey parent, const char* subkey, platform::HKey* out) override;
  std::uint32_t CreateKey(platform::HKey parent, const char* subkey, platform::HKey* out,
                          bool* created = nullptr) override;
  std::uint32_t CloseKey(platform::HKey key) override;
  std::uint32_t DeleteKey(platform::HKey parent, const char* subkey) override;
  std::uint32_t QueryValue(platform::HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) override;
  std::uint32_t SetValue(platform::HKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) override;
  std::uint32_t SetDefaultValue(platform::HKey key, const char* subkey, const char* text) override;
  std::uint32_t DeleteValue(platform::HKey key, const char* name) override;
  std::uint32_t EnumKey(platform::HKey key, std::uint32_t index, char* name,
                        std::uint32_t* nameSize) override;
  std::uint32_t EnumValue(platform::HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
  std::uint32_t QueryInfoKey(platform::HKey key, std::uint32_t* subkeys, std::uint32_t* maxSubkeyLen,
                             std::uint32_t* values, std::uint32_t* maxValueNameLen,
                             std::uint32_t* maxValueLen) override;

  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  bool IsNt() const { return store_.Family() == platform::WindowsFamily::kNt; }
  // Resolves a handle: 0 and the key, or the error (invalid handle, key deleted).
  std::uint32_t Resolve(platform::HKey key, std::shared_ptr<RegKey>* out) const;
  platform::HKey NewHandle(std::shared_ptr<RegKey> key);
  bool WriteFails();

  RegistryStore& store_;
  Faults* faults_;
  std::map<platform::HKey, std::shared_ptr<RegKey>> handles_;
  platform::HKey nextHandle_ = 0x1000;
};

}  // namespace sim
