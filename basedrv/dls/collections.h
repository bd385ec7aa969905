// The slot tables of the common block: collections, patches, splits, drum instruments and drum patches;
// the download of a parsed collection into the card's tables, and its release.
#pragma once

#include <cstdint>

#include "basedrv/dls/engine_env.h"

namespace dls {

inline constexpr std::uint16_t kNoSlot = 0xFFFF;
inline constexpr std::uint32_t kWildcardClient = 0xFFFFFFF0;
inline constexpr std::uint32_t kLoadReplace = 1;

// Statuses of the download.
inline constexpr std::uint32_t kStatusBadArgument = 4;
inline constexpr std::uint32_t kStatusNotClient = 5;
inline constexpr std::uint32_t kStatusNothing = 9;
inline constexpr std::uint32_t kStatusTaken = 12;
inline constexpr std::uint32_t kStatusNoSplitRun = 22;

std::uint16_t AcquireCollectionEntry(const DlsEnv& env, std::uint32_t client);
std::uint32_t ReleaseCollectionEntry(const DlsEnv& env, std::uint32_t client, std::uint32_t collection);

std::uint16_t AcquirePatch(const DlsEnv& env, std::uint16_t owner, std::uint8_t drum, std::uint16_t bank,
                           std::uint16_t program);
std::uint32_t ReleasePatch(const DlsEnv& env, std::uint16_t owner, std::uint32_t slot);
std::uint16_t SearchPatch(const DlsEnv& env, std::uint8_t drum, std::uint16_t bank, std::uint16_t program);
std::uint16_t AcquireSplit(const DlsEnv& env, std::uint16_t owner, std::uint32_t count);
std::uint32_t ReleaseSplit(const DlsEnv& env, std::uint16_t owner, std::uint32_t first, std::uint32_t count);
std::uint16_t AcquireDrumInstrument(const DlsEnv& env, std::uint16_t owner, std::uint16_t kitNumber);
std::uint32_t ReleaseDrumInstr(const DlsEnv& env, std::uint16_t owner, std::uint32_t slot);
std::uint16_t AcquireDrumPatch(const DlsEnv& env, std::uint16_t owner, std::uint16_t bank,
                               std::uint16_t program);
std::uint16_t SearchDrumPatch(const DlsEnv& env, std::uint16_t bank, std::uint16_t program);
std::uint32_t UnloadDrumPatch(const DlsEnv& env, std::uint32_t slot);

// The channel signal for every channel but 10 that selects bank and program.
void SignalChannels(const DlsEnv& env, std::uint16_t bank, std::uint16_t program);
void FlipPercussionFlag(const DlsEnv& env, platform::LinearAddress kitRecord);

std::uint32_t DownLoadDLS(const DlsEnv& env, std::uint32_t collection, std::uint32_t flags);
std::uint32_t DownloadPercussion(const DlsEnv& env, std::uint32_t collection, std::uint32_t kitNumber,
                                 platform::LinearAddress parseBuffer, std::uint32_t bank,
                                 std::uint32_t program, std::uint32_t flags);
void ReleaseDLSFile(const DlsEnv& env, std::uint32_t collection);
std::uint32_t DLSUnloadPatch(const DlsEnv& env, std::uint32_t client, std::uint32_t collection,
                             std::uint32_t patch);
void ClearEmptyCol(const DlsEnv& env, std::uint32_t client, std::uint32_t collection);
void ClearResourceIndex(const DlsEnv& env, std::uint32_t collection);

}  // namespace dls
