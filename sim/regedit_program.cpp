#include "sim/regedit_program.h"

#include "sim/machine.h"
#include "sim/process.h"
#include "sim/processes.h"
#include "sim/regedit.h"
#include "sim/registry.h"

namespace sim {

namespace {

bool ReadWholeFile(platform::FileSystem& files, const std::string& path, std::string* text) {
  platform::FileHandle file = files.OpenFile(path.c_str(), platform::OpenMode::kRead);
  if (file == platform::kInvalidFileHandle) return false;
  text->assign(static_cast<std::size_t>(files.GetFileSize(file)), '\0');
  std::uint32_t read = 0;
  bool ok = files.ReadFile(file, text->data(), static_cast<std::uint32_t>(text->size()), &read);
  files.CloseFile(file);
  text->resize(read);
  return ok;
}

}  // namespace

std::vector<std::string> CommandArguments(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) words.push_back(word);
  if (!words.empty()) words.erase(words.begin());  // the program itself
  return words;
}

void RegisterRegeditProgram(ProgramTable& programs) {
  programs.Register("regedit.exe", [](Process& process, const std::string& commandLine) -> std::uint32_t {
    std::string file;
    for (const auto& argument : CommandArguments(commandLine)) {
      if (argument.size() == 2 && argument[0] == '/' && (argument[1] == 's' || argument[1] == 'S')) continue;
      if (file.empty()) file = argument;
    }
    if (file.empty()) return 2;
    platform::FileSystem* files = process.Os().files;
    std::string text;
    if (!files || !ReadWholeFile(*files, file, &text)) return 1;
    Machine& machine = process.GetMachine();
    RegImportResult result = ImportRegFile(machine.Get<RegistryStore>(), text, &machine.GetFaults());
    return result.imported ? 0 : 1;
  });
}

}  // namespace sim
