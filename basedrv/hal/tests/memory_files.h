// Files held in memory, for the microcode loader: only opening for reading, reading and closing work.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "tests/support/null_files.h"

namespace haltest {

class MemoryFiles : public j6_testing::NullFiles {
 public:
  std::map<std::string, std::string> files;
  int openCount = 0;

  platform::FileHandle OpenFile(const char* path, platform::OpenMode mode) override {
    if (mode != platform::OpenMode::kRead || !files.count(path)) return platform::kInvalidFileHandle;
    ++openCount;
    open_[++next_] = Open{files[path], 0};
    return next_;
  }
  bool ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    auto it = open_.find(file);
    if (it == open_.end()) return false;
    // Small pieces, so lines run across the reader's refills.
    const std::size_t n = std::min<std::size_t>({size, 7, it->second.text.size() - it->second.at});
    std::memcpy(buffer, it->second.text.data() + it->second.at, n);
    it->second.at += n;
    *read = std::uint32_t(n);
    return true;
  }
  bool CloseFile(platform::FileHandle file) override { return open_.erase(file) == 1; }
  std::size_t OpenFiles() const { return open_.size(); }

 private:
  struct Open {
    std::string text;
    std::size_t at = 0;
  };
  std::map<platform::FileHandle, Open> open_;
  platform::FileHandle next_ = 0;
};

}  // namespace haltest
