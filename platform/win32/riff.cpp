#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

HMMIO AsMmio(RiffHandle file) {
  return reinterpret_cast<HMMIO>(file);
}

MMCKINFO ToMmckinfo(const ChunkInfo& chunk) {
  MMCKINFO info{};
  info.ckid = chunk.id;
  info.cksize = chunk.size;
  info.fccType = chunk.type;
  info.dwDataOffset = chunk.dataOffset;
  info.dwFlags = chunk.flags;
  return info;
}

void FromMmckinfo(const MMCKINFO& info, ChunkInfo* chunk) {
  chunk->id = info.ckid;
  chunk->size = info.cksize;
  chunk->type = info.fccType;
  chunk->dataOffset = info.dwDataOffset;
  chunk->flags = info.dwFlags;
}

}  // namespace

RiffHandle Win32RiffReader::Open(const char* path) {
  // mmioOpenA takes a writable name, though it does not write it when opening for reading. Buffered:
  // the DLS reader makes many small reads.
  return reinterpret_cast<RiffHandle>(mmioOpenA(const_cast<char*>(path), nullptr, MMIO_READ | MMIO_ALLOCBUF));
}

void Win32RiffReader::Close(RiffHandle file) {
  mmioClose(AsMmio(file), 0);
}

std::uint32_t Win32RiffReader::Descend(RiffHandle file, ChunkInfo* chunk, const ChunkInfo* parent,
                                       std::uint32_t flags) {
  MMCKINFO info = ToMmckinfo(*chunk);
  MMCKINFO parentInfo{};
  if (parent) parentInfo = ToMmckinfo(*parent);
  const MMRESULT result = mmioDescend(AsMmio(file), &info, parent ? &parentInfo : nullptr, flags);
  FromMmckinfo(info, chunk);
  return result;
}

std::uint32_t Win32RiffReader::Ascend(RiffHandle file, ChunkInfo* chunk) {
  MMCKINFO info = ToMmckinfo(*chunk);
  const MMRESULT result = mmioAscend(AsMmio(file), &info, 0);
  FromMmckinfo(info, chunk);
  return result;
}

std::int32_t Win32RiffReader::Read(RiffHandle file, void* buffer, std::int32_t size) {
  return mmioRead(AsMmio(file), static_cast<HPSTR>(buffer), size);
}

std::int32_t Win32RiffReader::Seek(RiffHandle file, std::int32_t offset, int origin) {
  return mmioSeek(AsMmio(file), offset, origin);
}

}  // namespace platform::win32
