#include "basedrv/dls/dll_dls.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "basedrv/dls/mem_dls.h"
#include "basedrv/dls/records.h"

namespace dls {

namespace {

constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;

void SetStatusBits(const DlsDevice& device, std::uint32_t bits) {
  PutLe32(device.hwInfo, hwinfo::kWaveStatus, GetLe32(device.hwInfo, hwinfo::kWaveStatus) | bits);
}

// The fallback when the configured bank cannot be had: the ROM, or no bank at all.
void FallBackFromRamBank(CommonBlock& block, const DlsDevice& device) {
  if (block.Get32(cdb::kFGmRom) == 1) {
    block.Set8(cdb::kBGmBank, 0);
  } else {
    block.Set8(cdb::kBGmBank, cdb::kNoGmBank);
    SetStatusBits(device, kStatusGmBankMissing);
  }
}

void FillEmptyDrumTable(CommonBlock& block) {
  for (std::uint32_t k = 0; k < cdb::kDrumTableEntries; ++k)
    block.Set32(cdb::kDrumPatchTable + card::kDrumTableEntrySize * k, card::kEmptyDrumEntry);
}

void ResetTables(const DlsEnv& env, CommonBlock& block) {
  for (std::uint32_t p = 0; p < cdb::kPatchCount; ++p) {
    InitPatchParam(env, p);
    block.Set8(CommonBlock::Patch(p) + cdb::kPatchStable, 0);
    block.Set16(CommonBlock::Patch(p) + cdb::kPatchOwner, cdb::kNoOwner);
  }
  for (std::uint32_t c = 0; c < cdb::kChannelCount; ++c) {
    block.Set8(cdb::kBChanAck + c, 0);
    block.Set8(cdb::kBChanChange + c, 0);
    block.Set16(cdb::kWChanProgram + 2 * c, 0);
    block.Set16(cdb::kWChanBank + 2 * c, 0);
    block.Set16(cdb::kWChanPatch + 2 * c, 0xFFFF);
  }
  // Channel 10 starts with a change pending, so the synthesizer looks up its drum kit.
  block.Set8(cdb::kBChanAck + 9, 0);
  block.Set8(cdb::kBChanChange + 9, 1);
  block.Set16(cdb::kWCurDrumPatch, 0xFFFF);
  block.Set8(cdb::kBReloadAck, 0);
  block.Set8(cdb::kBReloadChange, 1);
  for (std::uint32_t k = 0; k < cdb::kDrumPatchCount; ++k) {
    std::uint32_t at = CommonBlock::DrumPatch(k);
    block.Set8(at + cdb::kDrumPatchReady, 0);
    block.Set16(at + cdb::kDrumPatchOwner, cdb::kNoOwner);
    block.Set16(at + cdb::kDrumPatchBank, 0xFFFF);
    block.Set16(at + cdb::kDrumPatchProgram, 0xFFFF);
    block.Set32(at + cdb::kDrumPatchTablePtr, 0);
  }
  for (std::uint32_t c = 0; c < cdb::kCollectionCount; ++c)
    block.Set32(CommonBlock::Collection(c) + cdb::kColClient, cdb::kNoClient);
  for (std::uint32_t s = 0; s < cdb::kSplitCount; ++s) block.Set16(CommonBlock::SplitOwner(s), cdb::kNoOwner);
  for (std::uint32_t d = 0; d < cdb::kDrumInstCount; ++d)
    block.Set16(CommonBlock::DrumInstOwner(d), cdb::kNoOwner);
}

}  // namespace

const char* GmBankFileName(std::uint8_t selector) {
  switch (selector) {
    case 1:
      return "\\j6gm1.bin";
    case 2:
      return "\\j6gm2.bin";
    case 4:
      return "\\j6gm4.bin";
    case 8:
      return "\\j6gm8.bin";
    default:
      return nullptr;
  }
}

std::uint32_t LoadGmBank(DlsHost& host, const DlsDevice& device) {
  DlsEnv env = host.Env();
  CommonBlock block = env.Common();
  auto fail = [&](bool statusBit) -> std::uint32_t {
    block.Set8(cdb::kBGmBank, 0);
    if (statusBit) SetStatusBits(device, kStatusGmBankMissing);
    return 1;
  };
  platform::FileSystem* files = host.Files();
  char path[platform::kMaxPath] = {};
  std::uint32_t length = files ? files->GetSystemDirectory(path, sizeof path) : 0;
  if (length == 0 || length >= sizeof path) return fail(true);
  const char* name = GmBankFileName(block.Get8(cdb::kBGmBank));
  if (!name) return fail(false);
  if (length + std::strlen(name) >= sizeof path) return fail(true);
  std::strcat(path, name);

  platform::FileHandle file = files->OpenFile(path, platform::OpenMode::kRead);
  if (file == platform::kInvalidFileHandle) return fail(true);
  std::int64_t size = files->SeekFile(file, 0, platform::SeekFrom::kEnd);
  // The image must fit the configured bank and, whatever the device says, the sample memory block.
  auto image = size < 0 ? std::span<std::uint8_t>{}
                        : env.Map(block.Get32(cdb::kLpSampleMem), static_cast<std::uint32_t>(size));
  if (size < 0 || size > GetLe32(device.hwInfo, hwinfo::kGmBankSize) || (size > 0 && image.empty())) {
    files->CloseFile(file);
    return fail(true);
  }
  files->SeekFile(file, 0, platform::SeekFrom::kBegin);
  for (std::uint32_t done = 0; done < image.size();) {
    std::uint32_t piece =
        std::min<std::uint32_t>(kBankReadPiece, static_cast<std::uint32_t>(image.size()) - done);
    std::uint32_t read = 0;
    if (!files->ReadFile(file, image.data() + done, piece, &read) || read != piece) {
      files->CloseFile(file);
      return fail(true);
    }
    done += read;
  }
  files->CloseFile(file);
  block.Set32(cdb::kDwGmBankBytes, block.Get32(cdb::kDwGmBankSize));
  return 0;
}

std::uint32_t InitPhyContigBuf(DlsHost& host, std::uint32_t, const DlsDevice& device) {
  DlsEnv env = host.Env();
  CommonBlock block = env.Common();
  std::uint32_t mem = block.Get32(cdb::kLpSampleMem);
  std::uint32_t t = block.Get32(cdb::kDwTableAreaSize);
  if (block.Get32(cdb::kFDlsEnabled) == 0) {
    bool table = t >= cdb::kDrumTableBytes;
    block.Set32(cdb::kDwDrumTableCardAddr, table ? 0 : cdb::kNoDrumTable);
    block.Set32(cdb::kLpDrumTable, table ? mem : 0);
    block.Set32(cdb::kReserved3863, 0);
    return 0;
  }
  std::uint32_t dataSize = block.Get32(cdb::kDwDlsRamSize);
  block.Set32(cdb::kDwDataAreaSize, dataSize);
  if (static_cast<std::int32_t>(dataSize) <= 0) return 1;
  std::uint32_t g = block.Get32(cdb::kDwGmBankBytes);
  // Every table and the whole data area must lie in the sample memory block the device reserved.
  std::uint64_t layout = std::uint64_t{g} + t + dataSize;
  if (layout > 0xFFFFFFFFu || !env.memory || !env.memory->Contains(mem, static_cast<std::uint32_t>(layout)))
    return 1;

  block.Set32(cdb::kDwDataCardAddr, t + g);
  block.Set32(cdb::kLpDataArea, mem + g + t);
  block.Set32(cdb::kLpTableArea, mem + g);
  block.Set32(cdb::kLpPatchTable, mem + g);
  block.Set32(cdb::kDwSplitCardAddr, g + card::kSplitTableOffset);
  block.Set32(cdb::kLpSplitTable, mem + g + card::kSplitTableOffset);
  block.Set32(cdb::kDwDrumInstCardAddr, g + card::kDrumInstTableOffset);
  block.Set32(cdb::kLpDrumInstTable, mem + g + card::kDrumInstTableOffset);
  block.Set32(cdb::kDwDrumTableCardAddr, g + card::kDrumTableAreaOffset);
  block.Set32(cdb::kLpDrumTable, mem + g + card::kDrumTableAreaOffset);
  block.Set32(cdb::kReserved3863, 0);
  InitDlsMemMgr(env, device.hwInfo);
  return 0;
}

std::uint32_t SetupDrumPatch(DlsHost& host, const DlsDevice&) {
  DlsEnv env = host.Env();
  CommonBlock block = env.Common();
  std::uint8_t bank = block.Get8(cdb::kBGmBank);
  if (bank == 0) {
    host.GetDrumPatchRom(env.glpDls + cdb::kDrumPatchTable);
    return 0;
  }
  if (bank == cdb::kNoGmBank) {
    FillEmptyDrumTable(block);
    return 0;
  }
  platform::LinearAddress image = block.Get32(cdb::kLpSampleMem);
  std::uint32_t offset = FarGet3Bytes(env.Map(image, kBankDrumOffsetAt + 3), kBankDrumOffsetAt);
  // A table that would reach past the bank image is not read; the channel keeps the empty kit.
  auto table = std::uint64_t{offset} + cdb::kDrumTableBytes <= block.Get32(cdb::kDwGmBankBytes)
                   ? env.Map(image + offset, cdb::kDrumTableBytes)
                   : std::span<std::uint8_t>{};
  if (table.empty()) {
    FillEmptyDrumTable(block);
    return 0;
  }
  std::memcpy(block.Bytes().data() + cdb::kDrumPatchTable, table.data(), cdb::kDrumTableBytes);
  if (block.Get8(cdb::kFRomBelowRam) == 0) {
    block.Set32(cdb::kLpDrumTable, image + offset);
    block.Set32(cdb::kDwDrumTableCardAddr, offset);
    block.Set32(cdb::kReserved3863, 0);
  }
  return 0;
}

std::uint32_t SendDlsTabPtrs(DlsHost& host, std::uint32_t deviceId, const DlsDevice& device) {
  CommonBlock block = host.Env().Common();
  bool none = device.legacy || (block.Get32(cdb::kFDlsEnabled) == 0 && block.Get8(cdb::kBGmBank) == 0);
  return host.SetDlsRamAddr(deviceId, block.Get8(cdb::kFRomBelowRam), none ? kNoOffset : 0) ? 0 : 0xFFFFFFFF;
}

std::uint32_t DlsInit(DlsHost& host, std::uint32_t deviceId) {
  bool& already = host.InitAlready();
  if (already) return 0;
  already = true;
  DlsEnv env = host.Env();
  CommonBlock block = env.Common();
  // Without the device's common block there is no engine; nothing may be touched.
  if (!block.Valid()) return 1;

  block.Set32(cdb::kFDlsEnabled, 0);
  block.Set32(cdb::kDwDrumTableCardAddr, cdb::kNoDrumTable);
  block.Set8(cdb::kBGmBank, cdb::kNoGmBank);
  block.Set32(cdb::kDwGmBankBytes, 0);
  FillEmptyDrumTable(block);

  DlsDevice device;
  if (!host.FindDevice(deviceId, &device) || device.hwInfo.size() < hwinfo::kSize) return 1;

  std::uint32_t status = GetLe32(device.hwInfo, hwinfo::kWaveStatus);
  block.Set32(cdb::kFGmRom, status & kStatusGmRom);
  block.Set32(cdb::kDwDlsRamSize, GetLe32(device.hwInfo, hwinfo::kDlsRamSize));
  block.Set32(cdb::kDwGmBankSize, GetLe32(device.hwInfo, hwinfo::kGmBankSize));
  block.Set32(cdb::kDwTableAreaSize, GetLe32(device.hwInfo, hwinfo::kTableAreaSize));
  block.Set32(cdb::kLpSampleMem, GetLe32(device.hwInfo, hwinfo::kSampleMemLinear));
  block.Set32(cdb::kDwSampleMemPhys, GetLe32(device.hwInfo, hwinfo::kSampleMemPhys));
  block.Set16(cdb::kWMidiPort, device.midiPort);
  block.Set16(cdb::kWBasePort, device.basePort);
  block.Set32(cdb::kFLegacy, device.legacy ? 1 : 0);

  if (device.legacy) {
    FallBackFromRamBank(block, device);
  } else {
    bool usable =
        block.Get32(cdb::kDwTableAreaSize) >= card::kMinTableAreaSize && block.Get32(cdb::kLpSampleMem) != 0;
    block.Set32(cdb::kFDlsEnabled, usable ? 1 : 0);
    std::uint32_t bankSize = block.Get32(cdb::kDwGmBankSize);
    if (bankSize >= kMegabyte)
      block.Set8(cdb::kBGmBank, static_cast<std::uint8_t>(bankSize >> 20));
    else
      FallBackFromRamBank(block, device);
  }

  std::uint8_t bank = block.Get8(cdb::kBGmBank);
  if (bank != 0 && bank != cdb::kNoGmBank && LoadGmBank(host, device) != 0)
    FallBackFromRamBank(block, device);

  bool romBelowRam = !device.legacy && block.Get8(cdb::kBGmBank) == 0 && block.Get32(cdb::kFDlsEnabled) == 1;
  block.Set8(cdb::kFRomBelowRam, romBelowRam ? 1 : 0);

  std::uint32_t result = 0;
  if (InitPhyContigBuf(host, deviceId, device) != 0) {
    result = 2;
    block.Set32(cdb::kFDlsEnabled, 0);
  } else {
    SetupDrumPatch(host, device);
    if (block.Get32(cdb::kFDlsEnabled) == 1) ResetTables(env, block);
  }

  SendDlsTabPtrs(host, deviceId, device);

  if (block.Get8(cdb::kBGmBank) != 0) {
    // MPU-401 reset, then UART mode, so the synthesizer starts again on the new bank.
    host.PortOut8(device.commandPort, 0);
    host.DelayMs(1);
    host.PortOut8(device.midiPort, 0xFF);
    host.DelayMs(1);
    host.PortOut8(device.midiPort, 0x3F);
    host.DelayMs(1);
  }
  return result;
}

std::uint32_t DlsExit(DlsHost& host, std::uint32_t deviceId) {
  DlsDevice device;
  if (!host.FindDevice(deviceId, &device)) return 1;
  if (GetLe32(device.hwInfo, hwinfo::kWaveStatus) & kStatusGmRom) host.SetDlsRamAddr(deviceId, 0, kNoOffset);
  return 0;
}

const char* DescribeGmSource(std::uint8_t gmBank) {
  switch (gmBank) {
    case 0:
      return "ROM";
    case 1:
      return "RAM bank 1 MB (j6gm1.bin)";
    case 2:
      return "RAM bank 2 MB (j6gm2.bin)";
    case 4:
      return "RAM bank 4 MB (j6gm4.bin)";
    case 8:
      return "RAM bank 8 MB (j6gm8.bin)";
    case 0xFF:
      return "none";
    default:
      return "unknown";
  }
}

DlsEngineState GetDlsEngineState(const DlsEnv& env, std::span<const std::uint8_t> hwInfo) {
  DlsEngineState state;
  CommonBlock block = env.Common();
  std::uint32_t status = GetLe32(hwInfo, hwinfo::kWaveStatus);
  state.ramCut = (status & kStatusDlsRamCut) != 0;
  state.gmBankMissing = (status & kStatusGmBankMissing) != 0;
  if (!block.Valid()) return state;
  state.commonBlock = true;
  state.gmBank = block.Get8(cdb::kBGmBank);
  state.dlsEnabled = block.Get32(cdb::kFDlsEnabled) == 1;
  state.romBelowRam = block.Get8(cdb::kFRomBelowRam) == 1;
  state.dataAreaSize = block.Get32(cdb::kDwDataAreaSize);
  if (state.dlsEnabled) {
    state.freeBytes = GetDlsDataBufSize(env);
    state.largestFree = GetDlsLargestBuf(env);
  }
  return state;
}

std::uint32_t FormatDlsEngineState(const DlsEngineState& s, char* buffer, std::uint32_t size) {
  int n;
  if (!s.commonBlock) {
    n = std::snprintf(buffer, size,
                      "DLS engine: no common data block\n"
                      "DLS RAM cut to fit (bit 25): %s\n"
                      "GM bank not provided (bit 27): %s\n",
                      s.ramCut ? "yes" : "no", s.gmBankMissing ? "yes" : "no");
  } else {
    n = std::snprintf(buffer, size,
                      "General MIDI source: %s\n"
                      "DLS available: %s\n"
                      "fRomBelowRam: %u\n"
                      "DLS data area: %u bytes\n"
                      "Free: %u bytes (largest block %u bytes)\n"
                      "DLS RAM cut to fit (bit 25): %s\n"
                      "GM bank not provided (bit 27): %s\n",
                      DescribeGmSource(s.gmBank), s.dlsEnabled ? "yes" : "no", s.romBelowRam ? 1u : 0u,
                      s.dataAreaSize, s.freeBytes, s.largestFree, s.ramCut ? "yes" : "no",
                      s.gmBankMissing ? "yes" : "no");
  }
  return n < 0 ? 0 : static_cast<std::uint32_t>(n);
}

}  // namespace dls
