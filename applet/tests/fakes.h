// Small stand-ins for the registry, the processes and the user interface, enough to watch the applet.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace j6test {

struct Value {
  std::uint32_t type = platform::kRegDword;
  std::vector<std::uint8_t> bytes;
};

inline Value Dword(std::uint32_t v) {
  return {platform::kRegDword,
          {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}};
}
inline Value Text(const std::string& s) {
  Value v{platform::kRegSz, {s.begin(), s.end()}};
  v.bytes.push_back(0);
  return v;
}

// One key path per entry; values keyed by name. Only what the applet calls does anything.
class FakeRegistry : public platform::Registry {
 public:
  std::map<std::string, std::map<std::string, Value>> keys;
  bool createFails = false;
  bool writeFails = false;
  struct Write {
    std::string key, name;
    Value value;
  };
  std::vector<Write> writes;
  std::vector<std::string> createdPaths;
  std::map<platform::HKey, std::string> open;
  std::vector<platform::HKey> closeOfUnknown;

  std::uint32_t OpenKey(platform::HKey, const char*, platform::HKey* out) override {
    *out = 0;
    return platform::kErrorFileNotFound;
  }
  std::uint32_t CreateKey(platform::HKey parent, const char* subkey, platform::HKey* out,
                          bool* created) override {
    *out = 0;
    createdPaths.push_back(std::string(parent == platform::kHkeyLocalMachine ? "HKLM\\" : "?\\") + subkey);
    if (createFails) return platform::kErrorAccessDenied;
    std::string path = createdPaths.back();
    if (created) *created = !keys.count(path);
    keys[path];
    *out = nextHandle_++;
    open[*out] = path;
    return platform::kErrorSuccess;
  }
  std::uint32_t CloseKey(platform::HKey key) override {
    if (!open.erase(key)) {
      closeOfUnknown.push_back(key);
      return platform::kErrorInvalidHandle;
    }
    return platform::kErrorSuccess;
  }
  std::uint32_t DeleteKey(platform::HKey, const char*) override { return platform::kErrorAccessDenied; }
  std::uint32_t QueryValue(platform::HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) override {
    auto k = open.find(key);
    if (k == open.end()) return platform::kErrorInvalidHandle;
    auto& values = keys[k->second];
    auto v = values.find(name);
    if (v == values.end()) return platform::kErrorFileNotFound;
    if (type) *type = v->second.type;
    auto needed = static_cast<std::uint32_t>(v->second.bytes.size());
    if (data && *size < needed) {
      *size = needed;
      return platform::kErrorMoreData;
    }
    if (data && needed) std::memcpy(data, v->second.bytes.data(), needed);
    *size = needed;
    return platform::kErrorSuccess;
  }
  std::uint32_t SetValue(platform::HKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) override {
    auto k = open.find(key);
    Value v{type, {data, data + size}};
    writes.push_back({k == open.end() ? "(not open)" : k->second, name, v});
    if (k == open.end()) return platform::kErrorInvalidHandle;
    if (writeFails) return platform::kErrorAccessDenied;
    keys[k->second][name] = v;
    return platform::kErrorSuccess;
  }
  std::uint32_t SetDefaultValue(platform::HKey, const char*, const char*) override {
    return platform::kErrorAccessDenied;
  }
  std::uint32_t DeleteValue(platform::HKey, const char*) override { return platform::kErrorAccessDenied; }
  std::uint32_t EnumKey(platform::HKey, std::uint32_t, char*, std::uint32_t*) override {
    return platform::kErrorNoMoreItems;
  }
  std::uint32_t EnumValue(platform::HKey, std::uint32_t, char*, std::uint32_t*, std::uint32_t*, std::uint8_t*,
                          std::uint32_t*) override {
    return platform::kErrorNoMoreItems;
  }
  std::uint32_t QueryInfoKey(platform::HKey, std::uint32_t*, std::uint32_t*, std::uint32_t*, std::uint32_t*,
                             std::uint32_t*) override {
    return platform::kErrorCallNotImplemented;
  }

 private:
  platform::HKey nextHandle_ = 0x100;
};

class FakeProcesses : public platform::Processes {
 public:
  std::vector<std::uintptr_t> threadCallsDisabled;
  platform::ProcessHandle Start(const char*, std::uint32_t) override { return platform::kNoProcess; }
  void Wait(platform::ProcessHandle) override {}
  void CloseHandle(platform::ProcessHandle) override {}
  bool EnableShutdownPrivilege() override { return false; }
  bool ExitWindows(std::uint32_t) override { return false; }
  bool DisableThreadLibraryCalls(std::uintptr_t module) override {
    threadCallsDisabled.push_back(module);
    return true;
  }
};

// A dialog on a pretend screen: controls start as the template says, and a click on a disabled control
// fails the test, as a person could not make it.
class FakeDialog : public platform::Dialog {
 public:
  struct Control {
    bool enabled = true;
    bool checked = false;
  };
  std::map<int, Control> controls;
  bool ended = false;
  std::intptr_t result = -1;

  explicit FakeDialog(const platform::DialogTemplate& t) {
    for (const auto& c : t.controls) controls[c.id].enabled = !(c.style & platform::kControlDisabled);
  }
  platform::WindowHandle Handle() const override { return 0xD110; }
  void CheckButton(int id, bool checked) override { At(id).checked = checked; }
  bool IsButtonChecked(int id) override { return At(id).checked; }
  void CheckRadioButton(int first, int last, int id) override {
    for (auto& [cid, c] : controls)
      if (cid >= first && cid <= last) c.checked = cid == id;
  }
  void EnableControl(int id, bool enabled) override { At(id).enabled = enabled; }
  void ShowControl(int, bool) override { ADD_FAILURE() << "the applet shows or hides nothing"; }
  void SetText(int, const std::string&) override { ADD_FAILURE() << "the applet sets no text"; }
  std::string GetText(int) override { return {}; }
  void End(std::intptr_t r) override {
    ended = true;
    result = r;
  }

  std::set<int> Enabled(const std::set<int>& among) const {
    std::set<int> s;
    for (int id : among)
      if (controls.at(id).enabled) s.insert(id);
    return s;
  }
  std::set<int> Checked() const {
    std::set<int> s;
    for (const auto& [id, c] : controls)
      if (c.checked) s.insert(id);
    return s;
  }

 private:
  Control& At(int id) {
    auto it = controls.find(id);
    if (it == controls.end()) {
      ADD_FAILURE() << "no control " << id;
      static Control none;
      return none;
    }
    return it->second;
  }
};

// Shows a dialog, lets `script` act as the user, and keeps the last dialog for a look afterwards.
class FakeUi : public platform::UserInterface {
 public:
  using Script = std::function<void(FakeDialog&, const platform::DialogProc&)>;
  Script script;
  struct Shown {
    int templateId;
    platform::WindowHandle owner;
    std::intptr_t initParam;
  };
  std::vector<Shown> shown;
  std::unique_ptr<FakeDialog> last;
  std::intptr_t initResult = -1;
  std::vector<std::pair<std::uintptr_t, int>> iconLoads;

  std::intptr_t ShowModal(const platform::DialogTemplate& t, platform::WindowHandle owner,
                          const platform::DialogProc& proc, std::intptr_t initParam) override {
    shown.push_back({t.id, owner, initParam});
    last = std::make_unique<FakeDialog>(t);
    initResult = proc(*last, platform::kWmInitDialog, 0, initParam);
    if (script) script(*last, proc);
    return last->ended ? last->result : -1;
  }
  int MessageBox(platform::WindowHandle, const std::string& text, const std::string&,
                 std::uint32_t) override {
    ADD_FAILURE() << "the applet showed a message: " << text;
    return platform::kIdOk;
  }
  bool OpenFileDialog(platform::WindowHandle, const std::string&, const std::string&, const std::string&,
                      std::string*) override {
    return false;
  }
  platform::ProgressWindowUi* CreateProgress(const platform::DialogTemplate&,
                                             platform::WindowHandle) override {
    return nullptr;
  }
  void DestroyProgress(platform::ProgressWindowUi*) override {}
  std::uintptr_t LoadIcon(std::uintptr_t module, int iconId) override {
    iconLoads.emplace_back(module, iconId);
    return 0x7700 + iconId;
  }
};

// The user clicks control `id`, as WM_COMMAND with BN_CLICKED brings it.
inline std::intptr_t Click(FakeDialog& dialog, const platform::DialogProc& proc, int id) {
  if (!dialog.controls.count(id) || !dialog.controls[id].enabled) {
    ADD_FAILURE() << "control " << id << " cannot be clicked";
    return 0;
  }
  return proc(dialog, platform::kWmCommand, static_cast<std::uintptr_t>(id), 0);
}

}  // namespace j6test
