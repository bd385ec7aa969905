// conformance.exe: runs the platform cases against the real Win32 backend.
//   conformance.exe [--list] [filter]
#include "platform/win32/windows_api.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/win32_os.h"
#include "runner.h"

namespace conformance {

std::vector<Case> BackendCases();
std::vector<Case> UiCases();

namespace {

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + "\\");
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(dir.c_str());
}

}  // namespace

int RunCases(const std::vector<Case>& cases, platform::Os& os, const std::string& scratchRoot,
             const std::string& filter) {
  int passed = 0, failed = 0;
  for (const Case& c : cases) {
    if (!filter.empty() && c.name.find(filter) == std::string::npos) continue;
    const std::string scratch = scratchRoot + std::to_string(passed + failed) + "\\";
    RemoveTree(scratch);
    CreateDirectoryA(scratch.c_str(), nullptr);
    Environment environment{os, scratch};
    Expect expect;
    c.run(environment, expect);
    RemoveTree(scratch);
    if (expect.Failures().empty()) {
      ++passed;
      std::printf("ok %s\n", c.name.c_str());
    } else {
      ++failed;
      for (const std::string& failure : expect.Failures())
        std::printf("FAILED %s: %s\n", c.name.c_str(), failure.c_str());
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed;
}

}  // namespace conformance

int main(int argc, char** argv) {
  bool list = false;
  std::string filter;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--list")) {
      list = true;
    } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::printf(
          "usage: conformance [--list] [filter]\n"
          "Runs the platform cases whose name contains FILTER (all without one) against the\n"
          "Win32 API and prints one line per case and a closing count. Exit status 1 when any fails.\n");
      return 0;
    } else {
      filter = argv[i];
    }
  }
  std::vector<conformance::Case> cases = conformance::BackendCases();
  for (auto& c : conformance::UiCases()) cases.push_back(std::move(c));
  if (list) {
    for (const auto& c : cases) std::printf("%s\n", c.name.c_str());
    return 0;
  }
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string scratchRoot = std::string(temp) + "j6conf" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(scratchRoot.c_str(), nullptr);
  platform::Os os = platform::win32::MakeOs();
  const int failed = conformance::RunCases(cases, os, scratchRoot, filter);
  RemoveDirectoryA(scratchRoot.c_str());
  return failed ? 1 : 0;
}
