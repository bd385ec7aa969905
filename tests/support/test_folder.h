// A folder of the running test's own under the temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace j6_testing {

// "<prefix>-<process>-<test>". A parameterised test's name ("name/3") loses its "/", so that the folder
// is one level deep and removing it leaves nothing behind.
inline std::filesystem::path TestFolder(const std::string& prefix) {
  std::string name = prefix + "-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return std::filesystem::temp_directory_path() / name;
}

}  // namespace j6_testing
