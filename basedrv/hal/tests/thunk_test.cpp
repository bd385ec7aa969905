// The 16-bit thunk entry points, driven the way the 16-bit partner drives them: arguments pushed on its
// stack, 16:16 pointers into its segments, a call by index into the connected target table.
#include <cstring>
#include <string>
#include <vector>

#include "basedrv/hal/vexa1632.h"
#include "hal_fixture.h"
#include "sim/thunk16.h"

namespace {

using haltest::SimPc;
using sim::Thunk16;

// What the last 32-bit callee received, and what the thunk layer looked like at that moment.
struct Received {
  std::string callee;
  std::vector<std::uint64_t> args;
  bool insideProlog = false;
  std::size_t liveMappings = 0;
};
Received gReceived;
Thunk16* gThunk = nullptr;

constexpr std::uint32_t kResult = 0x1234ABCD;
constexpr std::uint16_t kRegister = 0x5A5A;

std::uint64_t P(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}
void Record(const char* callee, std::vector<std::uint64_t> args) {
  gReceived = Received{callee, std::move(args), gThunk->InsideCall(), gThunk->LiveMappings()};
}
void RecordPipe(const char* callee, uint32_t id, uint32_t unused, const uint32_t* pipe) {
  std::vector<std::uint64_t> args{id, unused, P(pipe)};
  if (pipe) args.insert(args.end(), {pipe[0], pipe[1], pipe[2]});
  Record(callee, args);
}

j6base::ThunkCallees Recorders() {
  j6base::ThunkCallees c;
  c.closePipe = [](uint32_t id, uint32_t unused, const uint32_t* pipe) {
    RecordPipe("ClosePipe", id, unused, pipe);
    return kResult;
  };
  c.openPipe = [](uint32_t id, uint32_t unused, const uint32_t* pipe) {
    RecordPipe("OpenPipe", id, unused, pipe);
    return kResult;
  };
  c.setDmaBufferSize = [](uint32_t id, uint32_t handle, uint32_t size, uint32_t* granted) {
    Record("SetDMABufferSize", {id, handle, size, P(granted)});
    return kResult;
  };
  c.unlockDevice = [](uint32_t id, uint32_t handle, uint32_t value) {
    Record("UnLockDevice", {id, handle, value});
    return kResult;
  };
  c.lockDevice = [](uint32_t id, uint32_t handle, uint32_t value) {
    Record("LockDevice", {id, handle, value});
    return kResult;
  };
  c.freeDmaChannel = [](uint32_t id, uint32_t handle) {
    Record("FreeDMAChannel", {id, handle});
    return kResult;
  };
  c.allocateDmaChannel = [](uint32_t id, uint32_t handle, void* record) {
    Record("AllocateDMAChannel", {id, handle, P(record)});
    return kResult;
  };
  c.closeDevice = [](uint32_t id, uint32_t handle) {
    Record("CloseDevice", {id, handle});
    return kResult;
  };
  c.openDevice = [](uint32_t id, uint32_t type, uint32_t* handle) {
    Record("OpenDevice", {id, type, P(handle)});
    return kResult;
  };
  c.reset = [](uint32_t id) {
    Record("Reset", {id});
    return kResult;
  };
  c.setSystemAttrib = [](uint32_t id, uint32_t index, const uint32_t* value) {
    Record("SetSystemAttrib", {id, index, P(value)});
    return kResult;
  };
  c.getSystemInfo = [](uint32_t id, uint32_t index, void* result) {
    Record("GetSystemInfo", {id, index, P(result)});
    return kResult;
  };
  c.attachIntCallback = [](uint32_t id, uint32_t attach, uint32_t callback) {
    Record("AttachIntCallback", {id, attach, callback});
    return kResult;
  };
  c.loadUCode = [](uint32_t id, const char* path, uint32_t target) {
    Record("LoadUCode", {id, P(path), target});
    return kResult;
  };
  c.writeMemoryBlock = [](uint32_t id, uint32_t memory, uint16_t address, const uint16_t* buffer,
                          uint16_t count) {
    Record("WriteMemoryBlock", {id, memory, address, P(buffer), count});
  };
  c.readMemoryBlock = [](uint32_t id, uint32_t memory, uint16_t address, uint16_t* buffer, uint16_t count) {
    Record("ReadMemoryBlock", {id, memory, address, P(buffer), count});
  };
  c.setRegister = [](uint32_t id, uint32_t group, uint32_t index, uint32_t value) {
    Record("SetRegister", {id, group, index, value});
  };
  c.getRegister = [](uint32_t id, uint32_t group, uint32_t index) {
    Record("GetRegister", {id, group, index});
    return kRegister;
  };
  c.exit = [](uint32_t id) {
    Record("Exit", {id});
    return kResult;
  };
  c.initialize = [](uint32_t key, uint32_t* id) {
    Record("Initialize", {key, P(id)});
    return kResult;
  };
  return c;
}

// A pushed argument: 16 or 32 bits, or a 16:16 pointer (at an offset in the caller's data segment).
struct Push {
  enum Kind { kWord, kDword, kPointer } kind;
  std::uint32_t value;
};
Push W(std::uint16_t v) {
  return {Push::kWord, v};
}
Push D(std::uint32_t v) {
  return {Push::kDword, v};
}
Push Ptr(std::uint16_t offset) {
  return {Push::kPointer, offset};
}

// What the callee must have received for one argument.
struct Want {
  enum Kind {
    kExact,       // this value
    kLow16,       // this value in the low half; the high half is free
    kAny,         // passed, not read
    kHostOf,      // the memory behind the 16:16 pointer at this offset (null when the pointer is null)
    kCopy,        // a pointer, not null, to the entry point's own copy
    kRawField,    // a record field handed on unchanged (absent when the record pointer is null)
    kFarField,    // a record field that stays the 16:16 pointer to this offset
    kLinearField  // a record field mapped to the linear address of this offset
  } kind;
  std::uint64_t value = 0;
};

enum class Result { kDxAx, kAx, kNone };

struct Case {
  std::uint32_t index;
  const char* callee;
  std::vector<Push> pushes;  // first to last
  std::uint16_t bytes;
  std::vector<Want> wants;
  Result result;
};

constexpr std::uint32_t kId = 0x00010002;
constexpr std::uint32_t kHandle = 0x76543210;
// Offsets in the caller's segment.
constexpr std::uint16_t kBuffer = 0x10, kDmaRecord = 0x20, kPipe = 0x50, kInfo = 0x60, kField1 = 0x80,
                        kField2 = 0xA0, kPath = 0xC0;
constexpr std::uint32_t kField0 = 0x0000C0DE;

const std::vector<Case>& Cases() {
  using K = Want::Kind;
  static const std::vector<Case> cases = {
      {0,
       "ClosePipe",
       {D(kId), D(0xDEADBEEF), Ptr(kPipe)},
       12,
       {{K::kExact, kId},
        {K::kAny},
        {K::kHostOf, kPipe},
        {K::kRawField, kField0},
        {K::kFarField, kField1},
        {K::kFarField, kField2}},
       Result::kDxAx},
      {1,
       "OpenPipe",
       {D(kId), D(0xDEADBEEF), Ptr(kPipe)},
       12,
       {{K::kExact, kId},
        {K::kAny},
        {K::kCopy},
        {K::kRawField, kField0},
        {K::kLinearField, kField1},
        {K::kLinearField, kField2}},
       Result::kDxAx},
      {2,
       "SetDMABufferSize",
       {D(kId), D(kHandle), D(0x00012000), Ptr(kBuffer)},
       16,
       {{K::kExact, kId}, {K::kExact, kHandle}, {K::kExact, 0x00012000}, {K::kHostOf, kBuffer}},
       Result::kDxAx},
      {3,
       "UnLockDevice",
       {D(kId), D(kHandle), D(0x80000001)},
       12,
       {{K::kExact, kId}, {K::kExact, kHandle}, {K::kExact, 0x80000001}},
       Result::kDxAx},
      {4,
       "LockDevice",
       {D(kId), D(kHandle), D(0x80000003)},
       12,
       {{K::kExact, kId}, {K::kExact, kHandle}, {K::kExact, 0x80000003}},
       Result::kDxAx},
      {5, "FreeDMAChannel", {D(kId), D(kHandle)}, 8, {{K::kExact, kId}, {K::kExact, kHandle}}, Result::kDxAx},
      {6,
       "AllocateDMAChannel",
       {D(kId), D(kHandle), Ptr(kDmaRecord)},
       12,
       {{K::kExact, kId}, {K::kExact, kHandle}, {K::kHostOf, kDmaRecord}},
       Result::kDxAx},
      {7, "CloseDevice", {D(kId), D(kHandle)}, 8, {{K::kExact, kId}, {K::kExact, kHandle}}, Result::kDxAx},
      {8,
       "OpenDevice",
       {D(kId), W(0xFFFE), Ptr(kBuffer)},
       10,
       {{K::kExact, kId}, {K::kExact, 0xFFFFFFFE}, {K::kHostOf, kBuffer}},
       Result::kDxAx},
      {9, "Reset", {D(kId)}, 4, {{K::kExact, kId}}, Result::kDxAx},
      {10,
       "SetSystemAttrib",
       {D(kId), W(0x8013), Ptr(kBuffer)},
       10,
       {{K::kExact, kId}, {K::kExact, 0x8013}, {K::kHostOf, kBuffer}},
       Result::kDxAx},
      {11,
       "GetSystemInfo",
       {D(kId), W(0x800C), Ptr(kInfo)},
       10,
       {{K::kExact, kId}, {K::kExact, 0x800C}, {K::kHostOf, kInfo}},
       Result::kDxAx},
      {12,
       "AttachIntCallback",
       {D(kId), W(0x8001), D(0x2F471234)},
       10,
       {{K::kExact, kId}, {K::kExact, 0x8001}, {K::kExact, 0x2F471234}},
       Result::kDxAx},
      {13,
       "LoadUCode",
       {D(kId), Ptr(kPath), W(0x8002)},
       10,
       {{K::kExact, kId}, {K::kHostOf, kPath}, {K::kExact, 0x8002}},
       Result::kDxAx},
      {14,
       "WriteMemoryBlock",
       {D(kId), W(0x8002), W(0x1234), Ptr(kBuffer), W(8)},
       14,
       {{K::kExact, kId}, {K::kExact, 0x8002}, {K::kExact, 0x1234}, {K::kHostOf, kBuffer}, {K::kExact, 8}},
       Result::kNone},
      {15,
       "ReadMemoryBlock",
       {D(kId), W(0x8001), W(0xFEDC), Ptr(kBuffer), W(7)},
       14,
       {{K::kExact, kId}, {K::kExact, 0x8001}, {K::kExact, 0xFEDC}, {K::kHostOf, kBuffer}, {K::kExact, 7}},
       Result::kNone},
      {16,
       "SetRegister",
       {D(kId), W(0x8001), W(0xFEDC), W(0xBA98)},
       10,
       {{K::kExact, kId}, {K::kExact, 0x8001}, {K::kLow16, 0xFEDC}, {K::kLow16, 0xBA98}},
       Result::kNone},
      {17,
       "GetRegister",
       {D(kId), W(0x8002), W(0x89AB)},
       8,
       {{K::kExact, kId}, {K::kExact, 0x8002}, {K::kLow16, 0x89AB}},
       Result::kAx},
      {18, "Exit", {D(kId)}, 4, {{K::kExact, kId}}, Result::kDxAx},
      {19,
       "Initialize",
       {D(0x4A360001), Ptr(kBuffer)},
       8,
       {{K::kExact, 0x4A360001}, {K::kHostOf, kBuffer}},
       Result::kDxAx},
  };
  return cases;
}

class ThunkEntries : public SimPc {
 protected:
  void SetUp() override {
    Boot();
    thunk_ = std::make_unique<Thunk16>(machine_->Memory());
    gThunk = thunk_.get();
    Load([this](sim::Process& p) { p.Os().thunk = thunk_.get(); });
    ASSERT_TRUE(thunk_->Connected()) << thunk_->Refusal();
    seg_ = thunk_->AllocateSegment(0x100);
  }
  void TearDown() override {
    j6base::Callees() = j6base::ThunkCallees{};
    gThunk = nullptr;
    // Unloading j6base disconnects the thunk; the thunk's segments go before the machine's memory.
    scope_.reset();
    processes_.clear();
    thunk_.reset();
    SimPc::TearDown();
  }

  std::uint32_t Far(std::uint16_t offset) const { return Thunk16::Far(seg_, offset); }
  std::uint64_t HostOf(std::uint16_t offset) { return P(thunk_->Bytes(Far(offset), 1).data()); }
  void Put32(std::uint16_t offset, std::uint32_t v) {
    auto b = thunk_->Bytes(Far(offset), 4);
    for (int i = 0; i < 4; ++i) b[i] = std::uint8_t(v >> 8 * i);
  }

  std::unique_ptr<Thunk16> thunk_;
  std::uint16_t seg_ = 0;
};

TEST_F(ThunkEntries, every_entry_point_converts_maps_calls_and_returns_as_its_table_row_says) {
  j6base::Callees() = Recorders();
  Put32(kPipe, kField0);
  Put32(kPipe + 4, Far(kField1));
  Put32(kPipe + 8, Far(kField2));
  std::memcpy(thunk_->Bytes(Far(kPath), 6).data(), "A.TXT", 6);

  for (const Case& c : Cases()) {
    for (bool nullPointers : {false, true}) {
      SCOPED_TRACE(std::string(c.callee) + (nullPointers ? " with null pointers" : ""));
      std::size_t pointers = 0;
      for (const Push& p : c.pushes) pointers += p.kind == Push::kPointer;
      if (nullPointers && !pointers) continue;

      thunk_->Push16(0x5555);  // the caller's own word below the arguments
      const std::uint32_t sp = thunk_->StackPointer();
      for (const Push& p : c.pushes) {
        if (p.kind == Push::kWord) thunk_->Push16(std::uint16_t(p.value));
        if (p.kind == Push::kDword) thunk_->Push32(p.value);
        if (p.kind == Push::kPointer) thunk_->Push32(nullPointers ? 0 : Far(std::uint16_t(p.value)));
      }
      ASSERT_EQ(sp - thunk_->StackPointer(), c.bytes) << "the table row pushes its argument bytes";
      thunk_->ClearLog();
      gReceived = {};
      const Thunk16::Result r = thunk_->Call(c.index);

      EXPECT_EQ(r.argumentBytes, c.bytes);
      EXPECT_EQ(thunk_->StackPointer(), sp);
      EXPECT_EQ(gReceived.callee, c.callee);
      EXPECT_TRUE(gReceived.insideProlog);
      EXPECT_EQ(thunk_->LiveMappings(), 0u) << "every mapping is released";

      // What arrived.
      std::vector<Want> wants;
      for (const Want& w : c.wants)
        if (!nullPointers ||
            (w.kind != Want::kRawField && w.kind != Want::kFarField && w.kind != Want::kLinearField))
          wants.push_back(w);
      ASSERT_EQ(gReceived.args.size(), wants.size());
      std::size_t mapped = 0;
      for (std::size_t i = 0; i < wants.size(); ++i) {
        const Want& w = wants[i];
        const std::uint64_t got = gReceived.args[i];
        SCOPED_TRACE("argument " + std::to_string(i));
        switch (w.kind) {
          case Want::kExact:
          case Want::kRawField:
            EXPECT_EQ(got, w.value);
            break;
          case Want::kFarField:
            EXPECT_EQ(got, Far(std::uint16_t(w.value)));
            break;
          case Want::kLow16:
            EXPECT_EQ(got & 0xFFFF, w.value);
            break;
          case Want::kAny:
            break;
          case Want::kHostOf:
            EXPECT_EQ(got, nullPointers ? 0 : HostOf(std::uint16_t(w.value)));
            mapped += !nullPointers;
            break;
          case Want::kCopy:
            if (nullPointers)
              EXPECT_EQ(got, 0u);
            else
              EXPECT_NE(got, 0u);
            mapped += !nullPointers;
            break;
          case Want::kLinearField:
            EXPECT_EQ(got, thunk_->Linear(Far(std::uint16_t(w.value))));
            ++mapped;
            break;
        }
      }
      EXPECT_EQ(gReceived.liveMappings, mapped) << "the pointers stay mapped during the call";

      // The registers the caller gets.
      if (c.result == Result::kDxAx) {
        EXPECT_EQ(r.dx, kResult >> 16);
        EXPECT_EQ(r.ax, kResult & 0xFFFF);
      } else if (c.result == Result::kAx) {
        EXPECT_EQ(r.ax, kRegister);
      }

      // The platform calls, in order: the mappings, prolog, epilog, then one release of every value.
      const bool openPipe = std::string(c.callee) == "OpenPipe";
      std::vector<Thunk16::Event::Kind> kinds;
      std::vector<std::uint32_t> mappedValues;
      for (const auto& e : thunk_->Log()) {
        kinds.push_back(e.kind);
        if (e.kind == Thunk16::Event::kMap) mappedValues.push_back(e.segmented.at(0));
      }
      std::vector<Thunk16::Event::Kind> expected(openPipe && !nullPointers ? 3 : pointers,
                                                 Thunk16::Event::kMap);
      expected.push_back(Thunk16::Event::kProlog);
      expected.push_back(Thunk16::Event::kEpilog);
      if (pointers) expected.push_back(Thunk16::Event::kUnmap);
      EXPECT_EQ(kinds, expected);
      if (pointers) {
        const Thunk16::Event& unmap = thunk_->Log().back();
        if (openPipe && nullPointers)
          EXPECT_EQ(unmap.segmented, (std::vector<std::uint32_t>{0, 0, 0}))
              << "an absent record has no fields";
        else
          EXPECT_EQ(unmap.segmented, mappedValues);
        if (c.result != Result::kNone) {
          EXPECT_EQ(unmap.ax, r.ax) << "the result is placed before the release";
          EXPECT_EQ(unmap.dx, r.dx);
        }
      }
      EXPECT_EQ(thunk_->Pop16(), 0x5555);
    }
  }
}

// A 16-bit driver's session with the card, through the real 32-bit functions.
TEST_F(ThunkEntries, a_16_bit_driver_reaches_the_card_through_the_entry_points) {
  auto call = [&](std::uint32_t index, std::vector<Push> pushes) {
    for (const Push& p : pushes) {
      if (p.kind == Push::kWord) thunk_->Push16(std::uint16_t(p.value));
      if (p.kind == Push::kDword) thunk_->Push32(p.value);
      if (p.kind == Push::kPointer) thunk_->Push32(Far(std::uint16_t(p.value)));
    }
    const Thunk16::Result r = thunk_->Call(index);
    EXPECT_EQ(thunk_->LiveMappings(), 0u);
    return std::uint32_t(r.dx) << 16 | r.ax;
  };
  auto get32 = [&](std::uint16_t offset) {
    auto b = thunk_->Bytes(Far(offset), 4);
    return std::uint32_t(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24);
  };
  const std::uint32_t stackTop = thunk_->StackPointer();

  ASSERT_EQ(call(19, {D(machine_->Config().card.hardwareKey), Ptr(0x10)}), VEXA_OK);
  const std::uint32_t id = get32(0x10);
  ASSERT_NE(id, 0u);

  EXPECT_EQ(call(8, {D(id), W(1), Ptr(0x14)}), VEXA_OK);
  EXPECT_NE(get32(0x14), 0u);
  EXPECT_EQ(call(8, {D(id), W(0xFFFF), Ptr(0x18)}), VEXA_ERR_GENERAL) << "type -1 is no device type";

  EXPECT_EQ(call(11, {D(id), W(0), Ptr(0x20)}), VEXA_OK);
  EXPECT_EQ(get32(0x20) & 0xFFFF, Base());
  // A 4-byte answer into the last 4 bytes of the segment.
  std::uint32_t legacy = 0xFFFFFFFF;
  ASSERT_EQ(VEXA_GetSystemInfo(id, 8, &legacy), VEXA_OK);
  EXPECT_EQ(call(11, {D(id), W(8), Ptr(0xFC)}), VEXA_OK);
  EXPECT_EQ(get32(0xFC), legacy);

  call(16, {D(id), W(VEXA_REG_WIDE), W(0), W(0x1234)});
  EXPECT_EQ(call(17, {D(id), W(VEXA_REG_WIDE), W(0)}) & 0xFFFF, 0x1234u);

  auto words = thunk_->Bytes(Far(0x40), 4);
  const std::uint8_t pattern[4] = {0x34, 0x12, 0x78, 0x56};
  std::memcpy(words.data(), pattern, 4);
  call(14, {D(id), W(0), W(0x100), Ptr(0x40), W(2)});
  call(15, {D(id), W(0), W(0x100), Ptr(0x48), W(2)});
  EXPECT_EQ(get32(0x48), 0x56781234u);

  EXPECT_EQ(call(7, {D(id), D(get32(0x14))}), VEXA_OK);
  EXPECT_EQ(call(18, {D(id)}), VEXA_OK);
  EXPECT_EQ(thunk_->StackPointer(), stackTop) << "every entry point removed exactly its arguments";
}

TEST(ThunkData, is_laid_out_as_the_32_bit_data_of_a_16_to_32_thunk) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(&j6base::thk_ThunkData32);
  const std::uint8_t header[32] = {'S', 'L', '0', '1', 0xB4, 0xF7, 0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0,
                                   'L', 'B', '0', '1', 0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(b, header, sizeof header), 0);
  const std::uint32_t table = b[32] | b[33] << 8 | b[34] << 16 | std::uint32_t(b[35]) << 24;
  // Right after the header (in the 64-bit host build, after the padding that aligns its pointers).
  EXPECT_EQ(table, (36 + alignof(platform::Thunk16Target) - 1) / alignof(platform::Thunk16Target) *
                       alignof(platform::Thunk16Target));
  for (std::uint32_t i = 0; i < j6base::kThunkTargets; ++i) {
    platform::Thunk16Target target = nullptr;
    std::memcpy(&target, b + table + i * sizeof target, sizeof target);
    EXPECT_EQ(target, j6base::thk_ThunkData32.targets[i]);
    EXPECT_NE(target, nullptr) << "entry " << i;
  }
}

// The 16-bit side agrees to the connection only where both sides' data match.
class ThunkConnection : public SimPc {
 protected:
  void TearDown() override {
    scope_.reset();
    processes_.clear();
    thunk_.reset();
    SimPc::TearDown();
  }
  std::unique_ptr<Thunk16> thunk_;
};

TEST_F(ThunkConnection, holds_only_where_the_partner_agrees_and_ends_with_the_process) {
  struct Row {
    const char* what;
    void (*change)(Thunk16::Partner&);
    bool loads;
  };
  const Row rows[] = {
      {"matching partner", [](Thunk16::Partner&) {}, true},
      {"other checksum", [](Thunk16::Partner& p) { p.checksum = 0x0003F7B5; }, false},
      {"other 16-bit data name", [](Thunk16::Partner& p) { p.data16 = "thk_ThunkData"; }, false},
      {"other 16-bit library", [](Thunk16::Partner& p) { p.library16 = "j5thunk.dll"; }, false},
      {"partner expects another 32-bit library", [](Thunk16::Partner& p) { p.library32 = "j6vexa.dll"; },
       false},
  };
  Boot();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Thunk16::Partner partner;
    row.change(partner);
    thunk_ = std::make_unique<Thunk16>(machine_->Memory(), partner);
    haltest::LoadedProcess& p = Load([this](sim::Process& proc) { proc.Os().thunk = thunk_.get(); });
    EXPECT_EQ(p.library->Loaded(), row.loads) << thunk_->Refusal();
    EXPECT_EQ(thunk_->Connected(), row.loads);
    scope_.reset();
    processes_.clear();
    EXPECT_FALSE(thunk_->Connected()) << "the process detach disconnects";
  }
}

}  // namespace
