// Checks of the memory manager's state that must hold after every operation. Each problem found is one
// line of the result; an empty result means the state is sound.
#pragma once

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "basedrv/dls/mem_dls.h"
#include "basedrv/dls/records.h"

namespace dls_test {

inline std::vector<std::string> CheckMemInvariants(const dls::DlsEnv& env) {
  std::vector<std::string> problems;
  auto fail = [&](auto&&... parts) {
    std::ostringstream out;
    (out << ... << parts);
    problems.push_back(out.str());
  };
  dls::CommonBlock b = env.Common();
  if (!b.Valid()) return {"no common block"};
  namespace cdb = dls::cdb;
  namespace card = dls::card;

  // Derived fields of the common block.
  std::uint32_t g = b.Get32(cdb::kDwGmBankBytes), t = b.Get32(cdb::kDwTableAreaSize);
  std::uint32_t mem = b.Get32(cdb::kLpSampleMem);
  struct Derived {
    std::uint32_t field, expected;
    const char* name;
  };
  const Derived derived[] = {
      {cdb::kDwDataCardAddr, t + g, "dwDataCardAddr"},
      {cdb::kLpDataArea, mem + g + t, "lpDataArea"},
      {cdb::kLpTableArea, mem + g, "lpTableArea"},
      {cdb::kLpPatchTable, mem + g, "lpPatchTable"},
      {cdb::kDwSplitCardAddr, g + card::kSplitTableOffset, "dwSplitCardAddr"},
      {cdb::kLpSplitTable, mem + g + card::kSplitTableOffset, "lpSplitTable"},
      {cdb::kDwDrumInstCardAddr, g + card::kDrumInstTableOffset, "dwDrumInstCardAddr"},
      {cdb::kLpDrumInstTable, mem + g + card::kDrumInstTableOffset, "lpDrumInstTable"},
  };
  for (const auto& d : derived)
    if (b.Get32(d.field) != d.expected) fail(d.name, " is ", b.Get32(d.field), ", expected ", d.expected);

  // The blocks cover the managed area exactly, in offset order, with no two free blocks touching.
  std::uint32_t capacity = dls::DlsDataAreaCapacity(b);
  std::uint64_t romOffset =
      b.Get8(cdb::kFRomBelowRam) == 1 || b.Get8(cdb::kBGmBank) == 0 ? card::kRomOffset : 0;
  if (romOffset + b.Get32(cdb::kDwDataCardAddr) + capacity > card::kWaveAddressSpace)
    fail("data area passes the 16 MB wave address space");
  std::vector<std::pair<dls::MemBlockEntry, std::uint32_t>> blocks;
  std::set<std::uint16_t> owners;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    dls::MemBlockEntry e = dls::ReadMemBlock(b, i);
    if (e.state > cdb::kBlockAllocated) fail("entry ", i, " has state ", e.state);
    if (e.state == cdb::kBlockUnused) continue;
    if (e.state == cdb::kBlockFree && e.owner != cdb::kNoOwner)
      fail("free entry ", i, " has owner ", e.owner);
    if (e.state == cdb::kBlockFree && e.size == 0) fail("free entry ", i, " is empty");
    if (e.state == cdb::kBlockAllocated && !owners.insert(e.owner).second)
      fail("collection ", e.owner, " owns two blocks");
    blocks.push_back({e, i});
  }
  std::stable_sort(blocks.begin(), blocks.end(),
                   [](const auto& a, const auto& c) { return a.first.offset < c.first.offset; });
  std::uint64_t at = 0;
  bool previousFree = false;
  for (const auto& [e, i] : blocks) {
    if (e.offset != at) fail("entry ", i, " starts at ", e.offset, ", expected ", at);
    bool isFree = e.state == cdb::kBlockFree;
    if (isFree && previousFree) fail("free entry ", i, " touches the free block before it");
    previousFree = isFree;
    at = std::uint64_t{e.offset} + e.size;
  }
  if (at != capacity) fail("blocks end at ", at, ", area is ", capacity);

  // Each allocated block agrees with its collection record.
  for (const auto& [e, i] : blocks) {
    if (e.state != cdb::kBlockAllocated) continue;
    auto record = env.Map(dls::CollectionRecord(b, e.owner), dls::colrec::kSize);
    if (record.empty()) continue;
    if (dls::GetLe32(record, dls::colrec::kPoolOffset) != e.offset ||
        dls::GetLe32(record, dls::colrec::kPoolSize) != e.size ||
        dls::GetLe32(record, dls::colrec::kPoolAddress) != b.Get32(cdb::kLpDataArea) + e.offset)
      fail("collection ", e.owner, "'s record does not match its block at ", e.offset);
  }
  return problems;
}

}  // namespace dls_test
