// The multimedia RIFF routines of a simulated PC, reading through the program's own drive C (so read
// faults and missing files behave as for any file). A search for a chunk stops at the end of the
// parent chunk when one is given, and always at the end of the file, so it ends even when a chunk
// size is near 2^32; after a failed search the position is back where the search began.
#pragma once

#include <map>
#include <vector>

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
  // The multimedia routines read a file opened for buffered reading through a buffer of this size;
  // reads of at least its size pass it by.
  static constexpr std::uint32_t kBufferSize = 8192;
  struct Open_ {
    platform::FileHandle file;
    std::uint64_t size;
    std::uint64_t pos = 0;  // the position the routines report, which the file's own may run ahead of
    std::vector<std::uint8_t> buffer;
    std::uint64_t bufferStart = 0;
    std::uint64_t bufferLength = 0;
  };
  Open_* Find(platform::RiffHandle file);
  // Reads up to `size` bytes at `offset`; returns the count read, or -1 when the file refuses.
  std::int64_t ReadAt(Open_& open, std::uint64_t offset, void* buffer, std::uint32_t size);

  platform::FileSystem& files_;
  std::map<platform::RiffHandle, Open_> open_;
  platform::RiffHandle next_ = 1;
};

}  // namespace sim
