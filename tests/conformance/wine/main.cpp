// conformance.exe: runs the shared conformance tables and the backend's own cases against the real
// Win32 backend.
//   conformance.exe [--list] [filter]
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "conformance_cases.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"
#include "runner.h"

namespace conformance {

std::vector<BackendCase> BackendCases();
std::vector<BackendCase> UiCases();

namespace {

constexpr const char* kScratchKey = "Software\\J6Conformance";

// Rows of the shared tables where Wine, not the simulated PC, is the one that differs from Windows. They
// still run and print what differs; they are not counted as failures.
constexpr std::pair<const char*, const char*> kWineDiffers[] = {
    {"registry: values_enumerate_in_creation_order_after_a_deletion",
     "Wine returns values sorted by name; Windows keeps creation order (todo_wine in Wine's own tests)"},
    {"files: find_patterns",
     "Wine lets \"*.\" match names with an extension; Windows matches only names without"},
    {"profiles: section_boundary_rows_511_and_512",
     "Wine treats a section that fills the buffer exactly (511 characters in 512) as cut and returns 510; "
     "the documented rule returns size - 2 only when the section does not fit (not checked on Windows)"},
    {"files: copy_file_cases",
     "Wine run as root overwrites a read-only target: the Unix permission it relies on does not stop root"},
};

const char* WineDifference(const std::string& name) {
  for (const auto& [row, reason] : kWineDiffers)
    if (name == row) return reason;
  return nullptr;
}

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

// NT refuses to delete a key with subkeys, so the children go first, always at index 0.
void DeleteKeyTree(platform::Registry& registry, platform::HKey parent, const char* name) {
  platform::HKey key = 0;
  if (registry.OpenKey(parent, name, &key) != 0) return;
  char child[256];
  std::uint32_t size = sizeof child;
  while (registry.EnumKey(key, 0, child, &size) == 0) {
    DeleteKeyTree(registry, key, child);
    size = sizeof child;
  }
  registry.CloseKey(key);
  registry.DeleteKey(parent, name);
}

Row FromTable(const char* group, const Case& c) {
  const std::string name = std::string(group) + ": " + c.name;
  return {name, c.wineDiffers || WineDifference(name), [&c](platform::Os& os, const std::string& scratch) {
            std::vector<std::string> failures;
            DeleteKeyTree(*os.registry, platform::kHkeyCurrentUser, kScratchKey);
            platform::HKey key = 0;
            if (os.registry->CreateKey(platform::kHkeyCurrentUser, kScratchKey, &key) != 0)
              return std::vector<std::string>{"cannot make the scratch key"};
            testing::TestPartResultArray results;
            {
              testing::ScopedFakeTestPartResultReporter reporter(
                  testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
              Env env{os, key, scratch.substr(0, scratch.size() - 1)};
              c.run(env);
            }
            os.registry->CloseKey(key);
            DeleteKeyTree(*os.registry, platform::kHkeyCurrentUser, kScratchKey);
            for (int i = 0; i < results.size(); ++i) {
              const testing::TestPartResult& result = results.GetTestPartResult(i);
              if (!result.failed()) continue;
              std::string text = result.message();
              for (char& ch : text)
                if (ch == '\n') ch = ' ';
              failures.push_back(std::string(result.file_name() ? result.file_name() : "?") + ":" +
                                 std::to_string(result.line_number()) + ": " + text);
            }
            return failures;
          }};
}

Row FromBackend(const BackendCase& c) {
  return {c.name, false, [&c](platform::Os& os, const std::string& scratch) {
            Environment environment{os, scratch};
            Expect expect;
            c.run(environment, expect);
            return expect.Failures();
          }};
}

}  // namespace

int RunRows(const std::vector<Row>& rows, platform::Os& os, const std::string& scratchRoot,
            const std::string& filter) {
  int passed = 0, failed = 0, known = 0, index = 0;
  for (const Row& row : rows) {
    if (!filter.empty() && row.name.find(filter) == std::string::npos) continue;
    const std::string scratch = scratchRoot + std::to_string(index++) + "\\";
    RemoveTree(scratch);
    CreateDirectoryA(scratch.c_str(), nullptr);
    const std::vector<std::string> failures = row.run(os, scratch);
    RemoveTree(scratch);
    if (failures.empty()) {
      ++passed;
      std::printf("ok %s\n", row.name.c_str());
    } else if (row.wineDiffers) {
      ++known;
      if (const char* reason = WineDifference(row.name))
        std::printf("known Wine difference %s: %s\n", row.name.c_str(), reason);
      for (const std::string& failure : failures)
        std::printf("known Wine difference %s: %s\n", row.name.c_str(), failure.c_str());
    } else {
      ++failed;
      for (const std::string& failure : failures)
        std::printf("FAILED %s: %s\n", row.name.c_str(), failure.c_str());
    }
    std::fflush(stdout);
  }
  if (known) std::printf("%d known Wine differences, not counted\n", known);
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed;
}

}  // namespace conformance

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  bool list = false;
  std::string filter;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--list")) {
      list = true;
    } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::printf(
          "usage: conformance [--list] [filter]\n"
          "Runs the conformance rows whose name contains FILTER (all without one) against the Win32 API\n"
          "and prints one line per row and a closing count. Exit status 1 when any fails.\n");
      return 0;
    } else {
      filter = argv[i];
    }
  }
  platform::Os os = platform::win32::MakeOs();
  std::vector<conformance::Row> rows;
  const std::pair<const char*, const std::vector<conformance::Case>*> tables[] = {
      {"registry", &conformance::RegistryCases()}, {"profiles", &conformance::ProfileCases()},
      {"files", &conformance::FileCases()},        {"riff", &conformance::RiffCases()},
      {"services", &conformance::ServiceCases()},  {"file queue", &conformance::FileQueueCases()},
  };
  for (const auto& [group, table] : tables)
    for (const conformance::Case& c : *table)
      if (conformance::Applies(c, os.family)) rows.push_back(conformance::FromTable(group, c));
  static const std::vector<conformance::BackendCase> backend = conformance::BackendCases();
  static const std::vector<conformance::BackendCase> ui = conformance::UiCases();
  for (const auto& c : backend) rows.push_back(conformance::FromBackend(c));
  for (const auto& c : ui) rows.push_back(conformance::FromBackend(c));
  if (list) {
    for (const auto& row : rows) std::printf("%s\n", row.name.c_str());
    return 0;
  }
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string scratchRoot = std::string(temp) + "j6conf" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(scratchRoot.c_str(), nullptr);
  const int failed = conformance::RunRows(rows, os, scratchRoot, filter);
  RemoveDirectoryA(scratchRoot.c_str());
  return failed ? 1 : 0;
}
