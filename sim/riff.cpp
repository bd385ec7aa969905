#include "sim/riff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sim {

using namespace platform;

namespace {

constexpr std::uint32_t kRiff = FourCc('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = FourCc('L', 'I', 'S', 'T');

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

constexpr std::uint64_t Padded(std::uint32_t size) {
  return (std::uint64_t(size) + 1) & ~std::uint64_t{1};
}

}  // namespace

ProcessRiff::~ProcessRiff() {
  for (auto& [handle, open] : open_) files_.CloseFile(open.file);
}

ProcessRiff::Open_* ProcessRiff::Find(RiffHandle file) {
  auto it = open_.find(file);
  return it == open_.end() ? nullptr : &it->second;
}

RiffHandle ProcessRiff::Open(const char* path) {
  FileHandle file = files_.OpenFile(path, OpenMode::kRead);
  if (file == kInvalidFileHandle) return 0;
  RiffHandle handle = next_++;
  Open_ open;
  open.file = file;
  open.size = files_.GetFileSize(file);
  open_.emplace(handle, std::move(open));
  return handle;
}

void ProcessRiff::Close(RiffHandle file) {
  if (Open_* open = Find(file)) {
    files_.CloseFile(open->file);
    open_.erase(file);
  }
}

std::int64_t ProcessRiff::ReadAt(Open_& open, std::uint64_t offset, void* buffer, std::uint32_t size) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint64_t done = 0;
  while (done < size && offset + done < open.size) {
    const std::uint64_t at = offset + done;
    if (at >= open.bufferStart && at < open.bufferStart + open.bufferLength) {
      const std::uint64_t n = std::min<std::uint64_t>(size - done, open.bufferStart + open.bufferLength - at);
      std::memcpy(out + done, open.buffer.data() + (at - open.bufferStart), n);
      done += n;
      continue;
    }
    if (files_.SeekFile(open.file, std::int64_t(at), SeekFrom::kBegin) < 0) return -1;
    std::uint32_t got = 0;
    if (size - done >= kBufferSize) {
      if (!files_.ReadFile(open.file, out + done, std::uint32_t(size - done), &got)) return -1;
      done += got;
      break;
    }
    open.buffer.resize(kBufferSize);
    open.bufferLength = 0;
    if (!files_.ReadFile(open.file, open.buffer.data(), kBufferSize, &got)) return -1;
    open.bufferStart = at;
    open.bufferLength = got;
    if (got == 0) break;
  }
  return std::int64_t(done);
}

std::uint32_t ProcessRiff::Descend(RiffHandle file, ChunkInfo* chunk, const ChunkInfo* parent,
                                   std::uint32_t flags) {
  Open_* open = Find(file);
  if (!open) return kMmsyserrInvalHandle;
  if (!chunk) return kMmsyserrInvalParam;
  const std::uint32_t wantId = chunk->id;
  const std::uint32_t wantType = chunk->type;
  const std::uint64_t start = open->pos;
  const std::uint64_t end = parent ? std::uint64_t(parent->dataOffset) + parent->size : open->size;

  // Every step moves on by at least the 8-byte header and the search stops at the end of the file
  // or the parent, so it always ends.
  for (std::uint64_t pos = start; pos + 8 <= end && pos + 8 <= open->size;) {
    std::uint8_t header[12];
    if (ReadAt(*open, pos, header, 8) < 8) break;
    const std::uint32_t id = Le32(header);
    const std::uint32_t size = Le32(header + 4);
    const bool isForm = id == kRiff || id == kList;
    std::uint32_t type = 0;
    if (isForm) {
      if (ReadAt(*open, pos + 8, header + 8, 4) < 4) break;
      type = Le32(header + 8);
    }
    chunk->id = id;
    chunk->size = size;
    chunk->type = type;
    chunk->dataOffset = std::uint32_t(pos + 8);
    chunk->flags = 0;
    bool match = true;
    if (flags & kMmioFindChunk)
      match = wantId == 0 || id == wantId;
    else if (flags & kMmioFindRiff)
      match = id == kRiff && (wantType == 0 || type == wantType);
    else if (flags & kMmioFindList)
      match = id == kList && (wantType == 0 || type == wantType);
    if (match) {
      open->pos = pos + 8 + (isForm ? 4 : 0);
      return 0;
    }
    pos += 8 + Padded(size);
  }
  open->pos = start;
  return kMmioErrChunkNotFound;
}

std::uint32_t ProcessRiff::Ascend(RiffHandle file, ChunkInfo* chunk) {
  Open_* open = Find(file);
  if (!open) return kMmsyserrInvalHandle;
  if (!chunk) return kMmsyserrInvalParam;
  const std::uint64_t target = std::uint64_t(chunk->dataOffset) + Padded(chunk->size);
  if (target > 0x7FFFFFFF) return kMmioErrCannotSeek;
  open->pos = target;
  return 0;
}

std::int32_t ProcessRiff::Read(RiffHandle file, void* buffer, std::int32_t size) {
  Open_* open = Find(file);
  if (!open || size < 0 || (size > 0 && !buffer)) return -1;
  if (size == 0) return 0;
  const std::int64_t read = ReadAt(*open, open->pos, buffer, std::uint32_t(size));
  if (read < 0) return -1;
  open->pos += std::uint64_t(read);
  return std::int32_t(read);
}

std::int32_t ProcessRiff::Seek(RiffHandle file, std::int32_t offset, int origin) {
  Open_* open = Find(file);
  if (!open) return -1;
  std::int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = std::int64_t(open->pos) + offset;
      break;
    // As the multimedia routines do: the offset is taken back from the end.
    case 2:
      target = std::int64_t(open->size) - offset;
      break;
    default:
      return -1;
  }
  if (target < 0 || target > 0x7FFFFFFF) return -1;
  open->pos = std::uint64_t(target);
  return std::int32_t(target);
}

}  // namespace sim
