// A DLS engine on a bare simulated address space: the common data block, a sample memory block laid out
// as the engine lays it out, and a scratch region for parse-buffer records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "basedrv/dls/common_block.h"
#include "basedrv/dls/engine_env.h"
#include "basedrv/dls/parse_records.h"
#include "basedrv/dls/records.h"
#include "sim/faults.h"
#include "sim/linear_memory.h"

namespace dls_test {

using dls::cdb::kSize;
namespace cdb = dls::cdb;
namespace card = dls::card;

struct Layout {
  std::uint32_t gmBankBytes = 0;
  std::uint32_t tableArea = card::kMinTableAreaSize;
  std::uint32_t dataArea = 0x10000;
  bool romBelowRam = false;
  std::uint8_t gmBank = 0xFF;
};

struct Wave {
  std::uint32_t loopStartBytes = 0;  // data size when unlooped
  std::uint32_t loopLengthBytes = 0;
  std::uint16_t sizeShift = 0;
  std::int16_t firstSample = 0;
  std::int16_t loopStartSample = 0;
};
struct Region {
  std::uint16_t keyLow = 0, keyHigh = 127, keyGroup = 0, unityNote = 60;
  std::int16_t fineTune = 0;
  std::int32_t attenuation = 0;
  std::uint32_t rate = 22050;
  std::uint16_t bits = 16;
  std::uint32_t dataOffset = 0;
};

class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() : space_(memory_, faults_, "process:1") {
    env_.memory = &space_;
    env_.glpDls = memory_.Allocate(cdb::kSize, "vxd");
    scratch_ = memory_.Allocate(0x10000, "process:1");
  }

  // Sample memory of exactly G + T + data area bytes, with the common block's derived fields.
  void LayOut(const Layout& layout) {
    layout_ = layout;
    std::uint32_t g = layout.gmBankBytes, t = layout.tableArea;
    sampleMem_ = memory_.Allocate(g + t + layout.dataArea, "vxd.sample");
    auto b = Block();
    b.Set32(cdb::kFDlsEnabled, 1);
    b.Set32(cdb::kDwTableAreaSize, t);
    b.Set32(cdb::kLpSampleMem, sampleMem_);
    b.Set8(cdb::kBGmBank, layout.gmBank);
    b.Set32(cdb::kDwGmBankBytes, g);
    b.Set32(cdb::kDwDlsRamSize, layout.dataArea);
    b.Set32(cdb::kDwDataAreaSize, layout.dataArea);
    b.Set32(cdb::kDwDataCardAddr, t + g);
    b.Set32(cdb::kLpDataArea, sampleMem_ + g + t);
    b.Set32(cdb::kLpTableArea, sampleMem_ + g);
    b.Set32(cdb::kLpPatchTable, sampleMem_ + g);
    b.Set32(cdb::kDwSplitCardAddr, g + card::kSplitTableOffset);
    b.Set32(cdb::kLpSplitTable, sampleMem_ + g + card::kSplitTableOffset);
    b.Set32(cdb::kDwDrumInstCardAddr, g + card::kDrumInstTableOffset);
    b.Set32(cdb::kLpDrumInstTable, sampleMem_ + g + card::kDrumInstTableOffset);
    b.Set8(cdb::kFRomBelowRam, layout.romBelowRam ? 1 : 0);
  }

  dls::CommonBlock Block() { return env_.Common(); }
  std::span<std::uint8_t> At(platform::LinearAddress a, std::uint32_t n) { return memory_.Map(a, n); }
  std::vector<std::uint8_t> Read(platform::LinearAddress a, std::uint32_t n) {
    auto s = memory_.Map(a, n);
    return {s.begin(), s.end()};
  }
  platform::LinearAddress PatchRecord(std::uint32_t p) {
    return Block().Get32(cdb::kLpPatchTable) + card::kPatchRecordSize * p;
  }
  platform::LinearAddress SplitRecord(std::uint32_t s) {
    return Block().Get32(cdb::kLpSplitTable) + card::kSplitRecordSize * s;
  }
  platform::LinearAddress DrumInstRecord(std::uint32_t d) {
    return Block().Get32(cdb::kLpDrumInstTable) + card::kDrumInstRecordSize * d;
  }

  // Parse-buffer records in the scratch region, handed out in order.
  platform::LinearAddress NewScratch(std::uint32_t size) {
    platform::LinearAddress a = scratch_ + scratchUsed_;
    scratchUsed_ += size;
    return a;
  }
  platform::LinearAddress NewWave(const Wave& w) {
    auto a = NewScratch(dls::wave::kSize);
    auto s = At(a, dls::wave::kSize);
    dls::PutLe32(s, dls::wave::kLoopStartBytes, w.loopStartBytes);
    dls::PutLe32(s, dls::wave::kLoopLengthBytes, w.loopLengthBytes);
    dls::PutLe16(s, dls::wave::kSizeShift, w.sizeShift);
    dls::PutLe16(s, dls::wave::kFirstSample, static_cast<std::uint16_t>(w.firstSample));
    dls::PutLe16(s, dls::wave::kLoopStartSample, static_cast<std::uint16_t>(w.loopStartSample));
    return a;
  }
  platform::LinearAddress NewRegion(const Region& r, platform::LinearAddress wave) {
    auto a = NewScratch(dls::rgn::kSize);
    auto s = At(a, dls::rgn::kSize);
    dls::PutLe16(s, dls::rgn::kKeyLow, r.keyLow);
    dls::PutLe16(s, dls::rgn::kKeyHigh, r.keyHigh);
    dls::PutLe16(s, dls::rgn::kKeyGroup, r.keyGroup);
    dls::PutLe16(s, dls::rgn::kUnityNote, r.unityNote);
    dls::PutLe16(s, dls::rgn::kFineTune, static_cast<std::uint16_t>(r.fineTune));
    dls::PutLe32(s, dls::rgn::kAttenuation, static_cast<std::uint32_t>(r.attenuation));
    dls::PutLe16(s, dls::rgn::kFormatTag, 1);
    dls::PutLe16(s, dls::rgn::kChannels, 1);
    dls::PutLe32(s, dls::rgn::kSamplesPerSec, r.rate);
    dls::PutLe16(s, dls::rgn::kBitsPerSample, r.bits);
    dls::PutLe32(s, dls::rgn::kSampleDataOffset, r.dataOffset);
    dls::PutLe32(s, dls::rgn::kWaveRecord, wave);
    return a;
  }
  platform::LinearAddress NewList(const std::vector<platform::LinearAddress>& entries) {
    auto a = NewScratch(4 * static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
      dls::PutLe32(At(a, 4 * entries.size()), 4 * i, entries[i]);
    return a;
  }

  sim::LinearMemory memory_;
  sim::Faults faults_;
  sim::ProcessAddressSpace space_;
  dls::DlsEnv env_;
  Layout layout_;
  platform::LinearAddress sampleMem_ = 0;
  platform::LinearAddress scratch_ = 0;
  std::uint32_t scratchUsed_ = 0;
};

}  // namespace dls_test
