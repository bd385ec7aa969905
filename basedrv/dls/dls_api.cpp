#include "basedrv/dls/dls_api.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "basedrv/dls/collections.h"
#include "basedrv/dls/mem_dls.h"

namespace dls {

namespace {

constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kNoAttributes = 0xFFFFFFFF;
constexpr std::uint32_t kFirstWildcardHandle = 0xFFFFFFF0;
constexpr std::uint64_t kHeadroom = 8u * 1024 * 1024;
constexpr std::uint64_t kCardRam = 16u * 1024 * 1024;

bool Available(const CommonBlock& block) {
  return block.Valid() && block.Get32(cdb::kFDlsEnabled) == 1;
}

bool IsClient(const CommonBlock& block, std::uint32_t handle) {
  return handle == block.Get32(cdb::kDwClientHandle) && block.Get32(cdb::kFClientOpen) != 0;
}

using MemTable = std::array<std::uint8_t, cdb::kMemBlockCount * cdb::kMemBlockSize>;

bool SameAllocations(const MemTable& before, const CommonBlock& block) {
  auto allocated = [](auto get) {
    std::array<std::uint64_t, cdb::kMemBlockCount> list{};
    std::uint32_t n = 0;
    for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
      std::uint32_t at = cdb::kMemBlockSize * i;
      if (get(16, at + cdb::kBlockState) == cdb::kBlockAllocated)
        list[n++] = std::uint64_t{get(16, at + cdb::kBlockOwner)} << 48 ^
                    std::uint64_t{get(32, at + cdb::kBlockSizeField)} << 24 ^ get(32, at + cdb::kBlockOffset);
    }
    std::sort(list.begin(), list.begin() + n);
    return list;
  };
  auto old = allocated([&](int bits, std::uint32_t at) -> std::uint32_t {
    return bits == 16 ? GetLe16(before, at) : GetLe32(before, at);
  });
  auto now = allocated([&](int bits, std::uint32_t at) -> std::uint32_t {
    return bits == 16 ? block.Get16(cdb::kMemBlocks + at) : block.Get32(cdb::kMemBlocks + at);
  });
  return old == now;
}

}  // namespace

std::uint32_t DlsOpen(DlsApiHost& host, std::uint32_t* handle) {
  CommonBlock block = host.env.Common();
  if (!Available(block)) return kStatusUnavailable;
  if (block.Get32(cdb::kFClientOpen) == 1) return kStatusAlreadyOpen;
  if (!handle) return kStatusBadArgument;
  std::uint32_t next = block.Get32(cdb::kDwClientHandle) + 1;
  if (next >= kFirstWildcardHandle) next = 0;
  block.Set32(cdb::kFClientOpen, 1);
  block.Set32(cdb::kDwClientHandle, next);
  *handle = next;
  return 0;
}

std::uint32_t DlsClose(DlsApiHost& host, std::uint32_t handle, std::uint32_t flags) {
  CommonBlock block = host.env.Common();
  if (!Available(block)) return kStatusUnavailable;
  if (block.Get32(cdb::kFClientOpen) == 0 || handle != block.Get32(cdb::kDwClientHandle))
    return kStatusBadArgument;
  if (!(flags & kCloseKeepLoaded)) DlsUnloadAll(host, handle, kUnloadOwnOnly);
  if (flags & kCloseCompact) DlsCompactMemory(host);
  block.Set32(cdb::kFClientOpen, 0);
  return 0;
}

std::uint32_t DlsLoadFile(DlsApiHost& host, std::uint32_t handle, std::uint32_t flags,
                          std::uint32_t* collection, const char* fileName) {
  if (collection) *collection = 0xFFFFFFFF;
  const DlsEnv& env = host.env;
  CommonBlock block = env.Common();
  if (!Available(block)) return kStatusUnavailable;
  if (handle != block.Get32(cdb::kDwClientHandle) || block.Get32(cdb::kFClientOpen) == 0)
    return kStatusNotClient;
  if (!fileName || !collection) return kStatusBadArgument;
  char name[kMaxFileName];
  std::size_t length = strnlen(fileName, kMaxFileName);
  if (length >= kMaxFileName) return kStatusBadArgument;
  std::memcpy(name, fileName, length + 1);
  std::uint32_t attributes = host.files ? host.files->GetFileAttributes(name) : kNoAttributes;
  if (attributes == kNoAttributes || (attributes & kDirectory)) return kStatusNoFile;
  if (!env.memory || !host.riff) return kStatusBadArgument;

  // A refused file leaves the block table as it found it, not merely an equivalent one.
  MemTable before;
  std::memcpy(before.data(), block.Bytes().data() + cdb::kMemBlocks, before.size());

  const std::uint16_t c = AcquireCollectionEntry(env, handle);
  if (c == kNoSlot) return kStatusNoEntry;
  const std::uint32_t entry = CommonBlock::Collection(c);
  block.Set32(entry + cdb::kColParseHandle, 0);
  block.Set32(entry + cdb::kColParseBuffer, 0);
  auto cleanUp = [&](std::uint32_t status) {
    platform::LinearAddress parse = block.Get32(entry + cdb::kColParseBuffer);
    if (parse != 0) env.memory->GlobalFree(parse);
    block.Set32(entry + cdb::kColParseHandle, 0);
    block.Set32(entry + cdb::kColParseBuffer, 0);
    auto rec = env.Map(CollectionRecord(block, c), colrec::kSize);
    if (!rec.empty() && GetLe32(rec, colrec::kPoolAddress) != 0) {
      DeallocDlsBuf(env, c);
      PutLe32(rec, colrec::kPoolAddress, 0);
    }
    ReleaseCollectionEntry(env, handle, c);
    if (SameAllocations(before, block))
      std::memcpy(block.Bytes().data() + cdb::kMemBlocks, before.data(), before.size());
    return status;
  };

  platform::LinearAddress parse = env.memory->GlobalAlloc(pbuf::kSize);
  if (parse == 0 || env.Map(parse, pbuf::kSize).empty()) {
    if (parse != 0) env.memory->GlobalFree(parse);
    return cleanUp(kStatusNoRoom);
  }
  std::memset(env.Map(parse, pbuf::kSize).data(), 0, pbuf::kSize);
  block.Set32(entry + cdb::kColParseHandle, parse);
  block.Set32(entry + cdb::kColParseBuffer, parse);

  DlsLoad load;
  load.env = env;
  load.riff = host.riff;
  load.collection = c;
  load.record = CollectionRecord(block, c);
  load.parseBuffer = parse;
  load.place = host.place;
  std::uint32_t status = OpenDLSFile(load, name);
  if (status != 0) return cleanUp(status);
  status = DownLoadDLS(env, c, flags);
  if (status != 0) return cleanUp(status);

  env.memory->GlobalFree(parse);
  block.Set32(entry + cdb::kColParseHandle, 0);
  block.Set32(entry + cdb::kColParseBuffer, 0);
  *collection = c;
  return 0;
}

std::uint32_t DlsUnloadFile(DlsApiHost& host, std::uint32_t handle, std::uint32_t collection) {
  const DlsEnv& env = host.env;
  CommonBlock block = env.Common();
  if (!Available(block)) return kStatusUnavailable;
  if (handle != block.Get32(cdb::kDwClientHandle) && handle != kWildcardClient) return kStatusNotClient;
  if (block.Get32(cdb::kFClientOpen) == 0) return kStatusNotClient;
  if (collection == 0xFFFFFFFF) return kStatusBadArgument;
  const std::uint32_t c = collection & 0xFFFF;
  if (c >= cdb::kCollectionCount) return kStatusBadArgument;
  const std::uint32_t entry = CommonBlock::Collection(c);
  if (block.Get32(entry + cdb::kColClient) != handle && handle != kWildcardClient) return kStatusOtherClient;
  auto rec = env.Map(CollectionRecord(block, c), colrec::kSize);
  if (!rec.empty()) {
    ReleaseDLSFile(env, c);
    if (GetLe32(rec, colrec::kPoolAddress) != 0) {
      DeallocDlsBuf(env, c);
      PutLe32(rec, colrec::kPoolAddress, 0);
    }
  }
  ReleaseCollectionEntry(env, handle, c);
  block.Set32(entry + cdb::kColClient, cdb::kNoClient);
  return 0;
}

std::uint32_t DlsUnloadAll(DlsApiHost& host, std::uint32_t handle, std::uint32_t flags) {
  CommonBlock block = host.env.Common();
  if (!Available(block)) return kStatusUnavailable;
  if (!IsClient(block, handle)) return kStatusNotClient;
  for (std::uint32_t c = 0; c < cdb::kCollectionCount; ++c) {
    std::uint32_t client = block.Get32(CommonBlock::Collection(c) + cdb::kColClient);
    if (client == cdb::kNoClient) continue;
    if ((flags & kUnloadOwnOnly) && client != handle) continue;
    if (std::uint32_t status = DlsUnloadFile(host, kWildcardClient, c); status != 0) return status;
  }
  return 0;
}

std::uint32_t DlsCompactMemory(DlsApiHost& host) {
  CommonBlock block = host.env.Common();
  // The tables are not set up while DLS is unavailable.
  if (!Available(block)) return kStatusUnavailable;
  for (std::uint32_t c = 0; c < cdb::kCollectionCount; ++c) {
    std::uint32_t client = block.Get32(CommonBlock::Collection(c) + cdb::kColClient);
    if (client != cdb::kNoClient) ClearEmptyCol(host.env, client, c);
  }
  return CompactMemBlocks(host.env);
}

std::uint32_t DlsGetInfo(DlsApiHost& host, void* info) {
  if (!info) return kStatusBadArgument;
  DlsInfo out;
  std::memcpy(&out.cbSize, info, 4);
  if (out.cbSize < sizeof(DlsInfo)) return kStatusBadArgument;
  std::memset(reinterpret_cast<std::uint8_t*>(&out) + 4, 0, sizeof out - 4);
  CommonBlock block = host.env.Common();
  out.dwVersion = kDlsVersion;
  out.dwGmBankSize = block.Get32(cdb::kDwGmBankSize);
  if (Available(block)) {
    out.dwRamSize = block.Get32(cdb::kDwDlsRamSize);
    out.dwFreeMem = GetDlsDataBufSize(host.env);
    out.dwLargestFree = GetDlsLargestBuf(host.env);
    out.fGmPresent = block.Get32(cdb::kFGmRom) == 1 || block.Get8(cdb::kBGmBank) != 0 ? 1 : 0;
  } else {
    out.dwFlags = 1;
  }
  std::memcpy(info, &out, sizeof out);
  return 0;
}

std::uint32_t DlsSetAttribute(DlsApiHost& host, std::uint32_t handle, std::uint32_t attribute, void* data) {
  CommonBlock block = host.env.Common();
  if (!Available(block)) return kStatusUnavailable;
  if (!IsClient(block, handle)) return kStatusNotClient;
  if (attribute != 1) return kStatusBadAttribute;
  if (!data) return kStatusBadArgument;
  DlsRamSize record;
  std::memcpy(&record.cbSize, data, 4);
  if (record.cbSize < sizeof record) return kStatusBadArgument;
  std::memcpy(&record, data, sizeof record);
  if (record.size < 0) return kStatusRamSizeRejected;
  const std::int64_t gm = block.Get32(cdb::kDwGmBankSize);
  const std::int64_t total = host.env.memory ? host.env.memory->TotalPhysicalMemory() : 0;
  if (total - gm - record.size - static_cast<std::int64_t>(kHeadroom) < 0) return kStatusRamSizeRejected;
  if (static_cast<std::uint64_t>(record.size) + static_cast<std::uint64_t>(gm) > kCardRam)
    return kStatusRamSizeRejected;
  const auto size = static_cast<std::uint32_t>(record.size);
  if (!host.setRamSize || host.setRamSize(&size) != 0) return kStatusBadArgument;
  return 0;
}

const char* DlsStatusName(std::uint32_t status) {
  switch (status) {
    case 0:
      return "success";
    case 1:
      return "DLS not available";
    case 2:
      return "no free collection entry, or more than 2,000 regions";
    case 3:
      return "engine already open";
    case 4:
      return "bad argument";
    case 5:
      return "not the open client";
    case 6:
      return "file does not exist";
    case 7:
      return "region or drum kit index beyond the tables";
    case 8:
      return "no room";
    case 9:
      return "nothing to download";
    case 10:
      return "file cannot be opened";
    case 11:
      return "not an acceptable DLS Level 1 collection";
    case 12:
      return "bank and program already loaded";
    case 14:
      return "collection belongs to another client";
    case 15:
      return "unknown attribute";
    case 21:
      return "DLS RAM size rejected";
    case 22:
      return "no free run of split slots";
    default:
      return "unknown status";
  }
}

}  // namespace dls
