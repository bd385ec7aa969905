// RIFF file reading in the manner of the multimedia file routines (mmioOpen, mmioDescend, mmioAscend,
// mmioRead, mmioSeek, mmioClose).
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t FourCc(char a, char b, char c, char d) {
  return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
         std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

struct ChunkInfo {
  std::uint32_t id = 0;          // ckid
  std::uint32_t size = 0;        // cksize
  std::uint32_t type = 0;        // fccType of RIFF and LIST chunks
  std::uint32_t dataOffset = 0;  // file offset of the data (after the 8-byte header)
  std::uint32_t flags = 0;
};

enum : std::uint32_t {
  kMmioFindChunk = 0x10,
  kMmioFindRiff = 0x20,
  kMmioFindList = 0x40,
};

enum : std::uint32_t {
  kMmsyserrInvalHandle = 5,
  kMmsyserrInvalParam = 11,
  kMmioErrChunkNotFound = 265,
  kMmioErrCannotRead = 261,
  kMmioErrCannotSeek = 263,
};

using RiffHandle = std::uintptr_t;

class RiffReader {
 public:
  virtual ~RiffReader() = default;

  // Read-only open; 0 when the file cannot be opened.
  virtual RiffHandle Open(const char* path) = 0;
  virtual void Close(RiffHandle file) = 0;
  // mmioDescend: 0 or an MMIOERR code. `parent` may be null; with it a search stops at its end.
  virtual std::uint32_t Descend(RiffHandle file, ChunkInfo* chunk, const ChunkInfo* parent,
                                std::uint32_t flags) = 0;
  virtual std::uint32_t Ascend(RiffHandle file, ChunkInfo* chunk) = 0;
  // mmioRead: bytes read, short near the end, -1 on a bad handle.
  virtual std::int32_t Read(RiffHandle file, void* buffer, std::int32_t size) = 0;
  // mmioSeek with origin 0 (begin), 1 (current), 2 (end): the new offset or -1.
  virtual std::int32_t Seek(RiffHandle file, std::int32_t offset, int origin) = 0;
};

}  // namespace platform
