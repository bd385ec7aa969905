// The engine's exported DLS functions, over what the calling process provides. The C exports of j6base
// (basedrv/j6base.h) bind these to the calling process.
#pragma once

#include <cstdint>
#include <functional>

#include "basedrv/dls/engine_env.h"
#include "basedrv/dls/ldr_dls.h"
#include "platform/files.h"
#include "platform/riff.h"

namespace dls {

inline constexpr std::uint32_t kStatusUnavailable = 1;
inline constexpr std::uint32_t kStatusAlreadyOpen = 3;
inline constexpr std::uint32_t kStatusNoFile = 6;
inline constexpr std::uint32_t kStatusOtherClient = 14;
inline constexpr std::uint32_t kStatusBadAttribute = 15;
inline constexpr std::uint32_t kStatusRamSizeRejected = 21;
inline constexpr std::uint32_t kMaxFileName = 128;
inline constexpr std::uint32_t kCloseKeepLoaded = 1;
inline constexpr std::uint32_t kCloseCompact = 8;
inline constexpr std::uint32_t kUnloadOwnOnly = 1;
inline constexpr std::uint32_t kDlsVersion = 0x00010000;

struct DlsInfo {
  std::uint32_t cbSize;
  std::uint32_t dwVersion;
  std::uint32_t dwFlags;
  std::uint32_t dwRamSize;
  std::uint32_t dwFreeMem;
  std::uint32_t dwLargestFree;
  std::uint32_t fGmPresent;
  std::uint32_t dwGmBankSize;
};
static_assert(sizeof(DlsInfo) == 32);

struct DlsRamSize {
  std::uint32_t cbSize;
  std::int32_t size;
};

struct DlsApiHost {
  DlsEnv env;
  platform::RiffReader* riff = nullptr;
  platform::FileSystem* files = nullptr;
  // Stores a new DLS RAM size (registry and common block); 0 on success.
  std::function<std::uint32_t(const std::uint32_t* size)> setRamSize;
  ReadPlace* place = nullptr;  // where a refused file went wrong, when the caller wants to know
};

std::uint32_t DlsOpen(DlsApiHost& host, std::uint32_t* handle);
std::uint32_t DlsClose(DlsApiHost& host, std::uint32_t handle, std::uint32_t flags);
std::uint32_t DlsLoadFile(DlsApiHost& host, std::uint32_t handle, std::uint32_t flags,
                          std::uint32_t* collection, const char* fileName);
std::uint32_t DlsUnloadFile(DlsApiHost& host, std::uint32_t handle, std::uint32_t collection);
std::uint32_t DlsUnloadAll(DlsApiHost& host, std::uint32_t handle, std::uint32_t flags);
std::uint32_t DlsCompactMemory(DlsApiHost& host);
std::uint32_t DlsGetInfo(DlsApiHost& host, void* info);
std::uint32_t DlsSetAttribute(DlsApiHost& host, std::uint32_t handle, std::uint32_t attribute, void* data);

// A status in words, for people.
const char* DlsStatusName(std::uint32_t status);

}  // namespace dls
