// The host program that README.md shows: a simulated PC, a process that loads j6base, and the exports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

// --- README example begins ---
#include "basedrv/hal/hal.h"  // j6base::SharedSection, ProcessContext, LoadedLibrary, ScopedProcess
#include "basedrv/j6base.h"   // the exported VEXA_ and DLS functions
#include "sim/machine.h"
#include "sim/process.h"

int RunExample(const std::filesystem::path& dir) {
  // A new simulated Windows 95 PC with the PCI card (machine.json, drive C, registry in `dir`).
  auto machine = sim::Machine::Create(dir, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));

  // The library's shared section lives as long as the boot; each process gets its own context.
  j6base::SharedSection shared;
  auto process = machine->StartProcess("player.exe");
  j6base::ProcessContext context(shared, process->Os());

  j6base::LoadedLibrary library(context);  // DllMain: process attach ... process detach
  j6base::ScopedProcess calling(context);  // the exports now run on behalf of this process

  std::uint32_t deviceId = 0;
  if (VEXA_Initialize(machine->Config().card.hardwareKey, &deviceId) != VEXA_OK) return 1;
  std::uint16_t basePort = 0;
  VEXA_GetSystemInfo(deviceId, 0, &basePort);
  VEXA_SetRegister(deviceId, VEXA_REG_INDEXED, 0x30, 0x12);
  const std::uint16_t words[2] = {0x1234, 0x5678};
  VEXA_WriteMemoryBlock(deviceId, 0, 0x100, words, 2);
  std::uint16_t back[2] = {};
  VEXA_ReadMemoryBlock(deviceId, 0, 0x100, back, 2);
  std::uint32_t handle = 0;
  if (VEXA_OpenDevice(deviceId, 1, &handle) != VEXA_OK) return 1;
  VEXA_CloseDevice(deviceId, handle);
  VEXA_Exit(deviceId);
  return basePort == 0xE000 && back[1] == 0x5678 ? 0 : 1;
}
// --- README example ends ---

TEST(ReadmeExample, runs) {
  const auto dir = std::filesystem::temp_directory_path() / ("j6-readme-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  EXPECT_EQ(RunExample(dir), 0);
  std::filesystem::remove_all(dir);
}
