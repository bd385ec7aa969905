#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "basedrv/dls/mem_dls.h"
#include "engine_fixture.h"
#include "mem_invariants.h"

namespace {

using dls_test::EngineFixture;
using dls_test::Layout;
namespace cdb = dls::cdb;
namespace card = dls::card;
constexpr std::uint32_t kMB = 1024 * 1024;

class MemoryManager : public EngineFixture {
 protected:
  void Start(std::uint32_t dataArea, std::uint8_t gmBank = 0xFF) {
    LayOut({.dataArea = dataArea, .gmBank = gmBank});
    dls::InitDlsMemMgr(env_, hwInfo_);
    ExpectSound();
  }
  void ExpectSound() {
    auto problems = dls_test::CheckMemInvariants(env_);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  }
  // A collection entry with its record, as the engine's collection table holds it.
  platform::LinearAddress Record(std::uint32_t c) {
    auto at = dls::CommonBlock::Collection(c);
    if (Block().Get32(at + cdb::kColRecord) == 0) {
      Block().Set32(at + cdb::kColClient, 1);
      Block().Set32(at + cdb::kColRecord, memory_.Allocate(dls::colrec::kSize, "vxd.shared"));
    }
    return Block().Get32(at + cdb::kColRecord);
  }
  // Allocates a collection's wave pool and records it, as the file reader does.
  std::uint32_t Load(std::uint32_t c, std::uint32_t size) {
    std::uint32_t offset = 0xDEADBEEF;
    platform::LinearAddress a = dls::AllocDlsBuf(env_, static_cast<std::uint16_t>(c), size, &offset);
    if (a != 0) {
      auto r = At(Record(c), dls::colrec::kSize);
      dls::PutLe32(r, dls::colrec::kPoolAddress, a);
      dls::PutLe32(r, dls::colrec::kPoolSize, size);
      dls::PutLe32(r, dls::colrec::kPoolOffset, offset);
    }
    ExpectSound();
    return a == 0 ? 0xFFFFFFFF : offset;
  }
  void Unload(std::uint32_t c) {
    EXPECT_EQ(dls::DeallocDlsBuf(env_, c), 0u);
    ExpectSound();
  }
  int EntriesInUse() {
    int n = 0;
    for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) n += dls::ReadMemBlock(Block(), i).state != 0;
    return n;
  }
  std::uint32_t WaveStatus() { return dls::GetLe32(hwInfo_, 0x70); }

  std::array<std::uint8_t, 136> hwInfo_{};
};

TEST_F(MemoryManager, fresh_area_is_one_free_block) {
  Start(4 * kMB);
  EXPECT_EQ(dls::GetDlsDataBufSize(env_), 4194304u);
  EXPECT_EQ(dls::GetDlsLargestBuf(env_), 4194304u);
}

struct CapacityCase {
  const char* name;
  Layout layout;
  std::uint32_t expected;
  bool cut;
};

class Capacity : public MemoryManager, public ::testing::WithParamInterface<CapacityCase> {};

// Card addresses of the area run from T + G (+ 4 MB with the ROM below the RAM) and must stay inside the
// card's 16 MB wave address space.
TEST_P(Capacity, keeps_every_card_address_inside_the_wave_space) {
  const auto& c = GetParam();
  LayOut(c.layout);
  dls::InitDlsMemMgr(env_, hwInfo_);
  EXPECT_EQ(dls::GetDlsLargestBuf(env_), c.expected);
  EXPECT_EQ((WaveStatus() & dls::kStatusDlsRamCut) != 0, c.cut);
  ExpectSound();
}

constexpr std::uint32_t kT = card::kMinTableAreaSize;
const CapacityCase kCapacityCases[] = {
    {"rom_bank_16mb_configured",
     {.dataArea = 16 * kMB, .romBelowRam = true, .gmBank = 0},
     12 * kMB - kT,
     true},
    {"rom_bank_exactly_fits",
     {.dataArea = 12 * kMB - kT, .romBelowRam = true, .gmBank = 0},
     12 * kMB - kT,
     false},
    {"rom_bank_one_byte_over",
     {.dataArea = 12 * kMB - kT + 1, .romBelowRam = true, .gmBank = 0},
     12 * kMB - kT,
     true},
    {"rom_bank_small", {.dataArea = 4 * kMB, .romBelowRam = true, .gmBank = 0}, 4 * kMB, false},
    {"ram_bank_2mb_with_14mb",
     {.gmBankBytes = 2 * kMB, .dataArea = 14 * kMB, .gmBank = 2},
     14 * kMB - kT,
     true},
    {"ram_bank_2mb_with_8mb", {.gmBankBytes = 2 * kMB, .dataArea = 8 * kMB, .gmBank = 2}, 8 * kMB, false},
    {"no_bank_8mb", {.dataArea = 8 * kMB}, 8 * kMB, false},
};

INSTANTIATE_TEST_SUITE_P(Table, Capacity, ::testing::ValuesIn(kCapacityCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemoryManager,
       blocks_are_cut_from_the_start_of_the_last_fitting_free_block_into_the_last_unused_entries) {
  Start(0x10000);
  EXPECT_EQ(Load(1, 100), 0u);
  EXPECT_EQ(Load(2, 200), 100u);
  EXPECT_EQ(dls::ReadMemBlock(Block(), 255).owner, 1);
  EXPECT_EQ(dls::ReadMemBlock(Block(), 254).owner, 2);
  EXPECT_EQ(dls::ReadMemBlock(Block(), 254).offset, 100u);
  EXPECT_EQ(dls::GetDlsDataBufSize(env_), 0x10000u - 300);
}

TEST_F(MemoryManager, freeing_neighbours_merges_them_into_one_free_block) {
  Start(0x10000);
  Load(1, 100);
  Load(2, 200);
  Load(3, 300);
  EXPECT_EQ(EntriesInUse(), 4);
  Unload(1);
  EXPECT_EQ(EntriesInUse(), 4);
  Unload(2);
  EXPECT_EQ(EntriesInUse(), 3);
  EXPECT_EQ(dls::GetDlsLargestBuf(env_), 0x10000u - 600);
  bool found = false;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    auto e = dls::ReadMemBlock(Block(), i);
    if (e.state == cdb::kBlockFree && e.offset == 0) found = e.size == 300;
  }
  EXPECT_TRUE(found);
  Unload(3);  // now merges with both sides
  EXPECT_EQ(EntriesInUse(), 1);
}

TEST_F(MemoryManager, unloading_a_collection_without_a_block_reports_2_and_clears_its_record) {
  Start(0x1000);
  auto r = At(Record(4), dls::colrec::kSize);
  dls::PutLe32(r, dls::colrec::kPoolAddress, 0x1234);
  dls::PutLe32(r, dls::colrec::kPoolSize, 10);
  dls::PutLe32(r, dls::colrec::kPoolOffset, 0);
  EXPECT_EQ(dls::DeallocDlsBuf(env_, 4), 2u);
  EXPECT_EQ(Read(Record(4) + dls::colrec::kPoolAddress, 12), std::vector<std::uint8_t>(12, 0));
  EXPECT_EQ(dls::DeallocDlsBuf(env_, 300), 2u);  // no such collection: nothing touched
  ExpectSound();
}

TEST_F(MemoryManager, exhaustion_by_size_or_by_table_entries_gives_no_block) {
  Start(1000);
  EXPECT_EQ(Load(1, 1001), 0xFFFFFFFFu);
  for (std::uint32_t c = 0; c < 255; ++c) ASSERT_NE(Load(c, 1), 0xFFFFFFFFu) << c;
  EXPECT_EQ(Load(255, 1), 0xFFFFFFFFu) << "all 256 entries are in use";
  EXPECT_EQ(dls::GetDlsDataBufSize(env_), 745u);
}

TEST_F(MemoryManager, compaction_makes_room_for_a_request_that_only_the_total_would_hold) {
  Start(1000);
  Load(1, 300);
  Load(2, 300);
  Load(3, 300);
  Unload(2);
  EXPECT_EQ(dls::GetDlsDataBufSize(env_), 400u);
  EXPECT_EQ(Load(4, 400), 0xFFFFFFFFu);
  EXPECT_EQ(dls::CompactMemBlocks(env_), 0u);
  ExpectSound();
  EXPECT_EQ(Load(4, 400), 600u);
}

TEST_F(MemoryManager, compaction_moves_blocks_down_with_their_bytes_and_sample_addresses) {
  Start(0x1000);
  Load(1, 100);
  Load(9, 200);
  Load(2, 50);
  Load(8, 150);
  Load(3, 10);
  Unload(9);
  Unload(8);
  platform::LinearAddress data = Block().Get32(cdb::kLpDataArea);
  std::uint32_t cardData = Block().Get32(cdb::kDwDataCardAddr);
  for (std::uint32_t i = 0; i < 50; ++i) At(data + 300, 50)[i] = static_cast<std::uint8_t>(i + 1);
  At(data + 500, 10)[0] = 0xAB;

  // Collection 2 owns splits 5 and 6 and drum instrument 7; collection 1 owns split 0.
  auto own = [&](std::uint32_t at, std::uint16_t c) { Block().Set16(at, c); };
  for (std::uint32_t s = 0; s < cdb::kSplitCount; ++s) own(dls::CommonBlock::SplitOwner(s), cdb::kNoOwner);
  for (std::uint32_t d = 0; d < cdb::kDrumInstCount; ++d)
    own(dls::CommonBlock::DrumInstOwner(d), cdb::kNoOwner);
  own(dls::CommonBlock::SplitOwner(5), 2);
  own(dls::CommonBlock::SplitOwner(6), 2);
  own(dls::CommonBlock::DrumInstOwner(7), 2);
  own(dls::CommonBlock::SplitOwner(0), 1);
  dls::FarPut4Bytes(At(SplitRecord(5), 20), 2, 0x40000000 | (cardData + 300));
  dls::FarPut4Bytes(At(SplitRecord(6), 20), 2, 0x20000000 | (cardData + 320));
  dls::FarPut4Bytes(At(DrumInstRecord(7), 18), 0, 0xE8000000 | (cardData + 349));
  dls::FarPut4Bytes(At(SplitRecord(0), 20), 2, 0x40000000 | cardData);

  EXPECT_EQ(dls::CompactMemBlocks(env_), 0u);
  ExpectSound();
  std::map<std::uint16_t, std::uint32_t> offsets;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i) {
    auto e = dls::ReadMemBlock(Block(), i);
    if (e.state == cdb::kBlockAllocated) offsets[e.owner] = e.offset;
  }
  EXPECT_EQ(offsets, (std::map<std::uint16_t, std::uint32_t>{{1, 0}, {2, 100}, {3, 150}}));
  EXPECT_EQ(dls::FarGet4Bytes(At(SplitRecord(5), 20), 2), 0x40000000 | (cardData + 100));
  EXPECT_EQ(dls::FarGet4Bytes(At(SplitRecord(6), 20), 2), 0x20000000 | (cardData + 120));
  EXPECT_EQ(dls::FarGet4Bytes(At(DrumInstRecord(7), 18), 0), 0xE8000000 | (cardData + 149));
  EXPECT_EQ(dls::FarGet4Bytes(At(SplitRecord(0), 20), 2), 0x40000000 | cardData);
  for (std::uint32_t i = 0; i < 50; ++i) ASSERT_EQ(At(data + 100, 50)[i], i + 1) << i;
  EXPECT_EQ(At(data + 150, 1)[0], 0xAB);
}

TEST_F(MemoryManager, compaction_refuses_a_table_it_could_not_rebuild_and_changes_nothing) {
  Start(0x1000);
  Load(1, 100);
  Load(2, 100);
  Unload(1);
  // Collection 2's record vanishes (a fault elsewhere): its block could not be placed again.
  Block().Set32(dls::CommonBlock::Collection(2) + cdb::kColRecord, 0);
  auto before = Read(env_.glpDls, cdb::kSize);
  EXPECT_EQ(dls::CompactMemBlocks(env_), dls::kStatusCompactFailed);
  EXPECT_EQ(Read(env_.glpDls, cdb::kSize), before);
}

TEST_F(MemoryManager, readjust_refuses_a_move_that_would_leave_the_data_area) {
  Start(0x1000);
  Load(1, 100);
  platform::LinearAddress data = Block().Get32(cdb::kLpDataArea);
  auto r = At(Record(1), dls::colrec::kSize);
  dls::PutLe32(r, dls::colrec::kPoolAddress, data + 0x1000 - 50);  // runs 50 bytes past the area
  EXPECT_EQ(dls::ReadjustDataBuf(env_, 1, 0x1000 - 50, 0, data, 100), dls::kStatusCompactFailed);
  EXPECT_EQ(dls::GetLe32(r, dls::colrec::kPoolOffset), 0u);
  EXPECT_EQ(dls::ReadjustDataBuf(env_, 7, 10, 0, data, 10), dls::kStatusCompactFailed);  // no record
  EXPECT_EQ(dls::ReadjustDataBuf(env_, 1, 0, 0, data, 100), 0u);                         // nothing to move
}

TEST(AdjustStartAddr, lowers_only_the_29_bit_address_field) {
  struct Case {
    std::uint32_t before, distance, after;
  };
  const Case cases[] = {
      {0x40001000, 0x200, 0x40000E00},
      {0xE0000010, 0x20, 0xFFFFFFF0},  // wraps inside the field, flags kept
      {0x1FFFFFFF, 0x1FFFFFFF, 0x00000000},
  };
  for (const auto& c : cases) {
    std::array<std::uint8_t, 4> field{};
    dls::FarPut4Bytes(field, 0, c.before);
    dls::AdjustStartAddr(field, c.distance);
    EXPECT_EQ(dls::FarGet4Bytes(field, 0), c.after) << std::hex << c.before;
  }
}

TEST(SharedMemory, allocation_and_release_go_to_service_0x0F) {
  std::vector<std::vector<std::uint8_t>> requests;
  std::uint32_t reply = 0x00C00000;
  bool succeed = true;
  dls::DlsEnv env;
  env.vxd = [&](std::uint32_t service, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    EXPECT_EQ(service, 0x0Fu);
    EXPECT_EQ(out.size(), 4u);
    requests.emplace_back(in.begin(), in.end());
    dls::PutLe32(out, 0, reply);
    return succeed;
  };
  EXPECT_EQ(dls::VxD_GlobalAlloc(env, 528), 0x00C00000u);
  EXPECT_EQ(dls::VxD_GlobalFree(env, 0x00C00000, 528), 0u);
  reply = 0;
  EXPECT_EQ(dls::VxD_GlobalFree(env, 0x00C00000, 528), 0xFFFFFFFFu);
  succeed = false;
  EXPECT_EQ(dls::VxD_GlobalAlloc(env, 528), 0u);
  using B = std::vector<std::uint8_t>;
  EXPECT_EQ(requests[0], (B{1, 0, 0, 0, 0, 0, 0, 0, 0x10, 2, 0, 0}));
  EXPECT_EQ(requests[1], (B{2, 0, 0, 0, 0, 0, 0xC0, 0, 0x10, 2, 0, 0}));
}

// Random allocation, release and compaction. Every block carries a byte pattern and one split record
// pointing into it; both must survive every compaction.
TEST_F(MemoryManager, random_sequences_keep_the_table_sound_and_the_bytes_in_place) {
  std::uint32_t seed = 20261210;
  if (const char* s = std::getenv("DLS_MEM_SEED"))
    seed = static_cast<std::uint32_t>(std::strtoul(s, nullptr, 0));
  SCOPED_TRACE(::testing::Message() << "seed " << seed << " (rerun with DLS_MEM_SEED=" << seed << ")");
  std::mt19937 rng(seed);
  constexpr std::uint32_t kArea = 0x20000;
  Start(kArea);
  for (std::uint32_t s = 0; s < cdb::kSplitCount; ++s)
    Block().Set16(dls::CommonBlock::SplitOwner(s), cdb::kNoOwner);
  for (std::uint32_t d = 0; d < cdb::kDrumInstCount; ++d)
    Block().Set16(dls::CommonBlock::DrumInstOwner(d), cdb::kNoOwner);
  platform::LinearAddress data = Block().Get32(cdb::kLpDataArea);
  std::uint32_t cardData = Block().Get32(cdb::kDwDataCardAddr);

  std::map<std::uint16_t, std::uint32_t> sizes;  // loaded collections
  auto pattern = [](std::uint16_t c, std::uint32_t i) { return static_cast<std::uint8_t>(c * 31 + i * 7); };
  auto offsetOf = [&](std::uint16_t c) {
    return dls::GetLe32(At(Record(c), 3732), dls::colrec::kPoolOffset);
  };
  auto verify = [&](const char* when) {
    for (const auto& [c, size] : sizes) {
      std::uint32_t off = offsetOf(c);
      auto bytes = At(data + off, size);
      for (std::uint32_t i = 0; i < size; ++i)
        ASSERT_EQ(bytes[i], pattern(c, i)) << when << ": collection " << c << " byte " << i;
      ASSERT_EQ(dls::FarGet4Bytes(At(SplitRecord(c), 20), 2), 0x40000000 | (cardData + off + size / 2))
          << when << ": collection " << c;
    }
  };

  for (int step = 0; step < 600; ++step) {
    int op = static_cast<int>(rng() % 10);
    if (op < 5) {
      auto c = static_cast<std::uint16_t>(rng() % 200);
      if (sizes.count(c)) continue;
      std::uint32_t size = 1 + rng() % (kArea / 12);
      std::uint32_t off = Load(c, size);
      if (off == 0xFFFFFFFF) continue;
      sizes[c] = size;
      auto bytes = At(data + off, size);
      for (std::uint32_t i = 0; i < size; ++i) bytes[i] = pattern(c, i);
      Block().Set16(dls::CommonBlock::SplitOwner(c), c);
      dls::FarPut4Bytes(At(SplitRecord(c), 20), 2, 0x40000000 | (cardData + off + size / 2));
    } else if (op < 9) {
      if (sizes.empty()) continue;
      auto it = sizes.begin();
      std::advance(it, rng() % sizes.size());
      Block().Set16(dls::CommonBlock::SplitOwner(it->first), cdb::kNoOwner);
      Unload(it->first);
      sizes.erase(it);
    } else {
      std::uint32_t freeBefore = dls::GetDlsDataBufSize(env_);
      ASSERT_EQ(dls::CompactMemBlocks(env_), 0u) << "step " << step;
      ExpectSound();
      EXPECT_EQ(dls::GetDlsDataBufSize(env_), freeBefore);
      EXPECT_EQ(dls::GetDlsLargestBuf(env_), freeBefore) << "compaction leaves one free block";
      verify("after compaction");
    }
    if (HasFailure()) return;
  }
  verify("at the end");
}

}  // namespace
