// j6sim applet: the Windows NT Control Panel on a simulated PC, driving the j6audio applet as the real one
// does, with a scripted or an interactive user at its dialog.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

#include "applet/j6audio.h"
#include "applet/resources.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/ui.h"
#include "tools/j6sim/commands.h"

namespace j6sim {

namespace {

namespace fs = std::filesystem;

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

template <std::size_t N>
std::string Utf8(const char16_t (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length]) ++length;
  return Utf8(std::u16string_view(field, length));
}

// The host file behind a Windows path on drive C, found without regard to case; empty when missing.
fs::path FindOnDrive(const sim::Machine& machine, const std::string& windowsPath) {
  std::string rest = windowsPath;
  if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
  fs::path here = machine.Dir() / "C";
  std::stringstream parts(rest);
  std::string part;
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  while (std::getline(parts, part, '\\')) {
    if (part.empty()) continue;
    std::error_code ec;
    fs::path found;
    for (const auto& entry : fs::directory_iterator(here, ec))
      if (lower(entry.path().filename().string()) == lower(part)) found = entry.path();
    if (found.empty()) return {};
    here = found;
  }
  return here;
}

std::string Hex(std::uint32_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << std::uppercase << v;
  return s.str();
}

// Passes every call through and tells what was written.
class WatchedRegistry : public platform::Registry {
 public:
  explicit WatchedRegistry(platform::Registry& inner) : inner_(inner) {}
  std::vector<std::string> writes;

  std::uint32_t OpenKey(platform::HKey parent, const char* subkey, platform::HKey* out) override {
    std::uint32_t r = inner_.OpenKey(parent, subkey, out);
    Remember(r, parent, subkey, out);
    return r;
  }
  std::uint32_t CreateKey(platform::HKey parent, const char* subkey, platform::HKey* out,
                          bool* created) override {
    bool isNew = false;
    std::uint32_t r = inner_.CreateKey(parent, subkey, out, &isNew);
    if (created) *created = isNew;
    Remember(r, parent, subkey, out);
    if (r == platform::kErrorSuccess && isNew) writes.push_back("created key " + PathOf(*out));
    return r;
  }
  std::uint32_t CloseKey(platform::HKey key) override {
    paths_.erase(key);
    return inner_.CloseKey(key);
  }
  std::uint32_t DeleteKey(platform::HKey parent, const char* subkey) override {
    std::uint32_t r = inner_.DeleteKey(parent, subkey);
    if (r == platform::kErrorSuccess) writes.push_back("deleted key " + PathOf(parent) + "\\" + subkey);
    return r;
  }
  std::uint32_t QueryValue(platform::HKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) override {
    return inner_.QueryValue(key, name, type, data, size);
  }
  std::uint32_t SetValue(platform::HKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) override {
    std::uint32_t r = inner_.SetValue(key, name, type, data, size);
    std::string what = PathOf(key) + " \"" + (name ? name : "") + "\" = ";
    if (type == platform::kRegDword && size == 4 && data) {
      std::uint32_t v = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24;
      what += std::to_string(v) + " (REG_DWORD)";
    } else {
      what += std::to_string(size) + " bytes of type " + std::to_string(type);
    }
    writes.push_back(r == platform::kErrorSuccess
                         ? "wrote " + what
                         : "failed to write " + what + " (error " + std::to_string(r) + ")");
    return r;
  }
  std::uint32_t SetDefaultValue(platform::HKey key, const char* subkey, const char* text) override {
    std::uint32_t r = inner_.SetDefaultValue(key, subkey, text);
    if (r == platform::kErrorSuccess) writes.push_back("wrote the default value of " + PathOf(key));
    return r;
  }
  std::uint32_t DeleteValue(platform::HKey key, const char* name) override {
    std::uint32_t r = inner_.DeleteValue(key, name);
    if (r == platform::kErrorSuccess) writes.push_back("deleted " + PathOf(key) + " \"" + name + "\"");
    return r;
  }
  std::uint32_t EnumKey(platform::HKey key, std::uint32_t index, char* name,
                        std::uint32_t* nameSize) override {
    return inner_.EnumKey(key, index, name, nameSize);
  }
  std::uint32_t EnumValue(platform::HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override {
    return inner_.EnumValue(key, index, name, nameSize, type, data, dataSize);
  }
  std::uint32_t QueryInfoKey(platform::HKey key, std::uint32_t* subkeys, std::uint32_t* maxSubkeyLen,
                             std::uint32_t* values, std::uint32_t* maxValueNameLen,
                             std::uint32_t* maxValueLen) override {
    return inner_.QueryInfoKey(key, subkeys, maxSubkeyLen, values, maxValueNameLen, maxValueLen);
  }

 private:
  void Remember(std::uint32_t result, platform::HKey parent, const char* subkey, platform::HKey* out) {
    if (result == platform::kErrorSuccess && out && *out)
      paths_[*out] = PathOf(parent) + "\\" + (subkey ? subkey : "");
  }
  std::string PathOf(platform::HKey key) const {
    switch (key) {
      case platform::kHkeyClassesRoot:
        return "HKEY_CLASSES_ROOT";
      case platform::kHkeyCurrentUser:
        return "HKEY_CURRENT_USER";
      case platform::kHkeyLocalMachine:
        return "HKEY_LOCAL_MACHINE";
      case platform::kHkeyUsers:
        return "HKEY_USERS";
      case platform::kHkeyCurrentConfig:
        return "HKEY_CURRENT_CONFIG";
      case platform::kHkeyDynData:
        return "HKEY_DYN_DATA";
    }
    auto it = paths_.find(key);
    return it == paths_.end() ? "key " + Hex(static_cast<std::uint32_t>(key)) : it->second;
  }

  platform::Registry& inner_;
  std::map<platform::HKey, std::string> paths_;
};

// The simulated user, with the icon handles the Control Panel asks the applet's module for.
class ControlPanelUi : public sim::SimUi {
 public:
  using SimUi::SimUi;
  std::uintptr_t LoadIcon(std::uintptr_t module, int iconId) override {
    // A handle that names the icon it stands for, so the transcript can tell it.
    return module ? 0x00010000 + static_cast<std::uintptr_t>(iconId) : 0;
  }
};

constexpr j6audio::HINSTANCE kAppletModule = 0x10000000;
constexpr j6audio::HWND kControlPanelWindow = 0x00010010;

}  // namespace

// Opens the J6 Audio item of the Control Panel on `machine` with a scripted (`pick`, OK or `cancel`) or an
// interactive user; saves the machine unless the user could not do what was asked.
int RunApplet(sim::Machine& machine, const std::string& pick, bool cancel, bool interactive,
              std::ostream& out) {
  if (!machine.IsNt())
    throw sim::MachineError(machine.Dir().string() +
                            " is a Windows 95 machine; j6audio is a Windows NT Control Panel applet");
  std::string cplPath = machine.Config().systemDir + "\\j6audio.cpl";
  if (FindOnDrive(machine, cplPath).empty())
    throw sim::MachineError(cplPath + " is not installed on " + machine.Dir().string() +
                            " (run setup first)");

  auto process = machine.StartProcess("CONTROL.EXE", machine.Config().systemDir);
  platform::Os os = process->Os();
  if (!os.registry) throw sim::MachineError("the simulated registry is not available");
  WatchedRegistry registry(*os.registry);
  static const std::map<std::string, std::string> kPicks = {
      {"rom", "1100"}, {"1mb", "1101"}, {"2mb", "1102"}, {"4mb", "1104"}};
  std::unique_ptr<ControlPanelUi> user;
  if (interactive) {
    user = std::make_unique<ControlPanelUi>(std::cin, out);
  } else {
    std::vector<sim::UiStep> steps;
    if (!pick.empty()) steps.push_back(sim::ParseUiStep("click " + kPicks.at(pick)));
    steps.push_back(sim::ParseUiStep(cancel ? "click 2" : "click 1"));
    user = std::make_unique<ControlPanelUi>(std::move(steps));
    user->EchoTo(&out);
  }
  os.registry = &registry;
  os.ui = user.get();

  using namespace j6audio;
  LoadModule(&os);
  LibMain(kAppletModule, DLL_PROCESS_ATTACH, nullptr);
  out << "Control Panel loaded " << cplPath << "\n";
  std::string refusal;
  LONG init = CPlApplet(kControlPanelWindow, CPL_INIT, 0, 0);
  LONG count = init ? CPlApplet(kControlPanelWindow, CPL_GETCOUNT, 0, 0) : 0;
  out << "CPL_INIT -> " << init << ", CPL_GETCOUNT -> " << count << "\n";
  for (LONG item = 0; item < count; ++item) {
    CPLINFO info{};
    NEWCPLINFOW newInfo{};
    LONG r1 = CPlApplet(kControlPanelWindow, CPL_INQUIRE, item, reinterpret_cast<LPARAM>(&info));
    LONG r2 = CPlApplet(kControlPanelWindow, CPL_NEWINQUIRE, item, reinterpret_cast<LPARAM>(&newInfo));
    out << "Item " << item << " (CPL_INQUIRE -> " << r1 << ", CPL_NEWINQUIRE -> " << r2 << ")\n";
    out << "  name:        \"" << Utf8(LoadText(info.idName)) << "\" (string " << info.idName << ")\n";
    out << "  description: \"" << Utf8(LoadText(info.idInfo)) << "\" (string " << info.idInfo << ")\n";
    out << "  icon:        " << info.idIcon << "\n";
    out << "  new form:    size " << newInfo.dwSize << ", \"" << Utf8(newInfo.szName) << "\", \""
        << Utf8(newInfo.szInfo) << "\", icon handle " << Hex(static_cast<std::uint32_t>(newInfo.hIcon))
        << ", help context " << newInfo.dwHelpContext << "\n";
  }
  if (count > 0) {
    out << "The user double-clicks \"" << Utf8(LoadText(kStringName)) << "\"\n";
    try {
      LONG r = CPlApplet(kControlPanelWindow, CPL_DBLCLK, 0, 0);
      out << "CPL_DBLCLK -> " << r << "\n";
    } catch (const sim::UiError& e) {
      // The user could not do what was asked; the Control Panel still shuts the applet down.
      refusal = e.what();
    }
  }
  LONG exitResult = init ? CPlApplet(kControlPanelWindow, CPL_EXIT, 0, 0) : 0;
  LibMain(kAppletModule, DLL_PROCESS_DETACH, nullptr);
  out << "CPL_EXIT -> " << exitResult << "\n";

  process.reset();
  if (!refusal.empty()) {
    out << "j6sim applet: " << refusal << "\nThe run stopped; the machine was not saved.\n";
    return 1;
  }
  if (registry.writes.empty()) out << "Nothing was written.\n";
  for (const auto& w : registry.writes) out << "Registry: " << w << "\n";
  machine.Save();
  return 0;
}

Command& AddAppletCommand(CLI::App& app) {
  struct Options {
    std::string dir;
    std::string pick;
    bool ok = false;
    bool cancel = false;
    bool interactive = false;
  };
  auto options = std::make_shared<Options>();
  Command& command = NewCommand(
      app, "applet",
      "Open the J6 Audio item of the Control Panel on a Windows NT machine where setup installed "
      "j6audio.cpl: show what the item and its dialog show, let the user choose a General MIDI bank, "
      "and tell what was written. Without --pick the marked choice is kept; OK is the default button.");
  CLI::App* sub = command.app;
  sub->add_option("DIR", options->dir, "Machine folder")->required();
  auto* pick = sub->add_option("--pick", options->pick, "The bank the user picks in the dialog")
                   ->check(CLI::IsMember({"rom", "1mb", "2mb", "4mb"}));
  auto* ok = sub->add_flag("--ok", options->ok, "Close the dialog with OK (the default)");
  auto* cancel = sub->add_flag("--cancel", options->cancel, "Close the dialog with Cancel");
  ok->excludes(cancel);
  sub->add_flag("--interactive", options->interactive,
                "Ask at the terminal what the user does: a control's number or caption, or esc")
      ->excludes(pick)
      ->excludes(ok)
      ->excludes(cancel);

  command.action = [options](std::ostream& out) {
    auto machine = sim::Machine::Load(options->dir);
    return RunApplet(*machine, options->pick, options->cancel, options->interactive, out);
  };
  return command;
}

}  // namespace j6sim
