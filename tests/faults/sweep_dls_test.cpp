// The sweep over DLSLoadFile and DLSUnloadFile on an initialised card. A failed call must report a
// status and leave nothing behind: no collection entry, table slot, sample block, shared record or global
// memory that was not there before, and a memory manager whose invariants hold.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "basedrv/dls/collections.h"
#include "basedrv/dls/common_block.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/dls/tests/mem_invariants.h"
#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "sim/dls_writer.h"
#include "sim/faults.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/vxd.h"
#include "tests/faults/sweep.h"

namespace faults_test {
namespace {

namespace cdb = dls::cdb;
using dls::CommonBlock;

constexpr const char* kFile = "C:\\SOUNDS\\SMALL.DLS";

// Every slot in use, named by table and index, with its owner (collection entries: their client).
std::map<std::string, std::uint32_t> Owners(const dls::DlsEnv& env) {
  std::map<std::string, std::uint32_t> owners;
  CommonBlock b = env.Common();
  auto add = [&](const char* table, std::uint32_t i, std::uint32_t owner, std::uint32_t none) {
    if (owner != none) owners[std::string(table) + "[" + std::to_string(i) + "]"] = owner;
  };
  for (std::uint32_t i = 0; i < cdb::kCollectionCount; ++i)
    add("collection", i, b.Get32(CommonBlock::Collection(i) + cdb::kColClient), cdb::kNoClient);
  for (std::uint32_t i = 0; i < cdb::kPatchCount; ++i)
    add("patch", i, b.Get16(CommonBlock::Patch(i) + cdb::kPatchOwner), cdb::kNoOwner);
  for (std::uint32_t i = 0; i < cdb::kSplitCount; ++i)
    add("split", i, b.Get16(CommonBlock::SplitOwner(i)), cdb::kNoOwner);
  for (std::uint32_t i = 0; i < cdb::kDrumInstCount; ++i)
    add("drum instrument", i, b.Get16(CommonBlock::DrumInstOwner(i)), cdb::kNoOwner);
  for (std::uint32_t i = 0; i < cdb::kDrumPatchCount; ++i)
    add("drum patch", i, b.Get16(CommonBlock::DrumPatch(i) + cdb::kDrumPatchOwner), cdb::kNoOwner);
  std::uint32_t blocks = 0;
  for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i)
    if (dls::ReadMemBlock(b, i).state == cdb::kBlockAllocated) add("sample block", blocks++, 0, 1);
  return owners;
}

// Frees of shared records the virtual device refused (service 0x0F, request 2): the record stays with the
// device and nothing in the library can take it back, so each one is a record left allocated by design.
std::uint32_t RefusedFrees(sim::Machine& machine) {
  std::uint32_t refused = 0;
  for (const auto& r : machine.Get<sim::VirtualDevice>().Log())
    if (r.code == 0x0F && !r.ok && r.input.size() >= 4 && r.input[0] == 2) ++refused;
  return refused;
}

enum class Step { kLoad, kReplace, kUnload };

Flow DlsFlow(std::string name, Step step) {
  Flow flow;
  flow.name = std::move(name);
  flow.prepare = [](sim::Machine& machine) {
    std::filesystem::create_directories(machine.DriveRoot() / "SOUNDS");
    const auto bytes = sim::dlsw::WriteDls(sim::dlsw::SmallCollection());
    std::ofstream(machine.DriveRoot() / "SOUNDS" / "SMALL.DLS", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  flow.run = [step](sim::Machine& machine, FaultWindow& window) {
    Outcome o;
    auto process = machine.StartProcess("j6sim.exe");
    {
      j6base::SharedSection shared;
      j6base::ProcessContext context(shared, process->Os());
      j6base::LoadedLibrary library(context);
      j6base::ScopedProcess scope(context);
      std::uint32_t id = 0, client = 0, first = 0xFFFFFFFF;
      if (VEXA_Initialize(machine.Config().card.hardwareKey, &id) != VEXA_OK || DLSOpen(&client, 0) != 0) {
        o.ok = false;
        o.detail = "the engine did not open";
        return o;
      }
      if (step != Step::kLoad && DLSLoadFile(client, 0, &first, kFile) != 0) {
        o.ok = false;
        o.detail = "the first load failed";
      }
      const dls::DlsEnv env = j6base::CurrentDlsEnv();
      const auto ownersBefore = Owners(env);
      const std::uint64_t globalBefore = process->Memory().GlobalBytesInUse();
      const std::uint32_t sharedBefore = machine.Get<sim::VirtualDevice>().SharedAllocations();

      window.Arm();
      std::uint32_t status = 0, collection = 0x12345678;
      if (step == Step::kUnload)
        status = DLSUnloadFile(client, first);
      else
        status = DLSLoadFile(client, step == Step::kReplace ? dls::kLoadReplace : 0, &collection, kFile);
      window.Disarm();

      o.detail += "status " + std::to_string(status);
      for (const auto& p : dls_test::CheckMemInvariants(env)) o.problems.push_back("memory manager: " + p);
      if (step != Step::kUnload && status != 0) {
        if (collection != 0xFFFFFFFF) o.problems.push_back("collection variable set after a failed load");
        // Nothing the failed load took may stay; what it replaced may be gone.
        for (const auto& [slot, owner] : Owners(env)) {
          auto was = ownersBefore.find(slot);
          if (was == ownersBefore.end() || was->second != owner)
            o.problems.push_back(slot + " taken by " + std::to_string(owner) + " after a failed load");
        }
        if (process->Memory().GlobalBytesInUse() != globalBefore) o.problems.push_back("parse buffer leaked");
        if (machine.Get<sim::VirtualDevice>().SharedAllocations() > sharedBefore + RefusedFrees(machine))
          o.problems.push_back("shared record leaked");
      }
      // The status each failure gives: a shared record that cannot be had is status 2 for the collection
      // record, 11 for a drum kit record (a reader failure) and 8 for a drum patch table; the pool read
      // failing is 11; the parse buffer that cannot be had is 8. A free the device refuses goes unnoticed.
      const std::string point = window.Point();
      const bool refusedFree = RefusedFrees(machine) > 0;
      if (point.empty() || step == Step::kUnload || refusedFree)
        o.ok = status == 0;
      else if (point == sim::fault::kSharedAlloc || point == sim::fault::kDeviceRequest)
        o.ok = status == 2 || status == 8 || status == 11;
      else if (point == sim::fault::kFileRead)
        o.ok = status == 11;
      else if (point == sim::fault::kGlobalAlloc)
        o.ok = status == 8;
      else
        o.ok = false;

      DLSUnloadAll(client, 0);
      DLSClose(client, 0);
      if (!Owners(env).empty()) o.problems.push_back("slots still owned after unloading everything");
      VEXA_Exit(id);
    }
    if (process->Memory().GlobalBytesInUse() != 0) o.problems.push_back("global memory left allocated");
    if (machine.Get<sim::VirtualDevice>().SharedAllocations() != RefusedFrees(machine))
      o.problems.push_back("shared allocations left");
    return o;
  };
  return flow;
}

TEST(Sweep, dls_load_of_a_collection) {
  const auto f = RunSweep(DlsFlow("dls-load", Step::kLoad));
  for (const char* point : {"file.read", "global.alloc", "shared.alloc", "device.request"})
    EXPECT_GT(f.hits.count(point), 0u) << point << " never asked";
}

TEST(Sweep, dls_load_replacing_a_loaded_collection) {
  RunSweep(DlsFlow("dls-replace", Step::kReplace));
}

TEST(Sweep, dls_unload_of_a_collection) {
  RunSweep(DlsFlow("dls-unload", Step::kUnload));
}

}  // namespace
}  // namespace faults_test
