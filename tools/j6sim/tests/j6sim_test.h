// What the j6sim command tests share: j6sim run in this process, and a folder of each test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_folder.h"
#include "tools/j6sim/commands.h"

namespace j6sim_test {

struct Result {
  int status;
  std::string out, err;
};

// Runs j6sim with `args` (without the program name).
inline Result J6sim(std::vector<std::string> args) {
  args.insert(args.begin(), "j6sim");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  int status = j6sim::Run(int(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

// The whole file, byte for byte; empty when it cannot be read.
inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// `dir_` names a folder of the test's own under the temporary folder; it does not exist when the test
// starts and is removed when it ends.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder(std::string("j6-") +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name());
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
};

}  // namespace j6sim_test
