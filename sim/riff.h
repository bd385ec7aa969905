// The multimedia RIFF routines of a simulated PC, reading through the program's own drive C (so read
// faults and missing files behave as for any file). A search for a chunk stops at the end of the
// parent chunk when one is given, and always at the end of the file, so it ends even when a chunk
// size is near 2^32; after a failed search the position is back where the search began.
#pragma once

#include <map>

#include "platform/files.h"
#include "platform/riff.h"

namespace sim {

class ProcessRiff : public platform::RiffReader {
 public:
  explicit ProcessRiff(platform::FileSystem& files) : files_(files) {}
  ~ProcessRiff() override;

  platform::RiffHandle Open(const char* path) override;
  void Close(platform::RiffHandle file) override;
  std::uint32_t Descend(platform::RiffHandle file, platform::ChunkInfo* chunk,
                        const platform::ChunkInfo* parent, std::uint32_t flags) override;
  std::uint32_t Ascend(platform::RiffHandle file, platform::ChunkInfo* chunk) override;
  std::int32_t Read(platform::RiffHandle file, void* buffer, std::int32_t size) override;
  std::int32_t Seek(platform::RiffHandle file, std::int32_t offset, int origin) override;

 private:
  struct Open_ {
    platform::FileHandle file;
    std::uint64_t size;
  };
  Open_* Find(platform::RiffHandle file);
  // Reads up to `size` bytes at `offset`; returns the count read.
  std::uint32_t ReadAt(Open_& open, std::uint64_t offset, void* buffer, std::uint32_t size);

  platform::FileSystem& files_;
  std::map<platform::RiffHandle, Open_> open_;
  platform::RiffHandle next_ = 1;
};

}  // namespace sim
