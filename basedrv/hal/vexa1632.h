// The 16-bit thunk entry points of j6base and the 32-bit thunk data that lists them. The 16-bit partner
// "j6thunk.dll" calls an entry point by its index in the target table; the entry point reads the caller's
// arguments off the 16-bit stack, maps its 16:16 pointers for the time of the call, calls the VEXA_
// function and leaves the result in DX:AX.
#pragma once

#include <cstddef>
#include <cstdint>

#include "basedrv/j6base.h"
#include "platform/thunk.h"

namespace j6base {

constexpr std::uint32_t kThunkTargets = 20;
// Must match the checksum in the partner's 16-bit thunk data, or the connection is refused.
constexpr std::uint32_t kThunkChecksum = 0x0003F7B4;

// The 32-bit thunk data as the thunk compiler lays it out for a 16-to-32 script. Written by the
// system when the thunk connects, so it is not const.
struct ThunkData32 {
  char signature[4];  // "SL01"
  std::uint32_t checksum;
  std::uint32_t reserved1[2];
  char lateBinding[4];  // "LB01"
  std::uint32_t reserved2[3];
  std::uint32_t targetTable;  // offset of `targets` from the start
  platform::Thunk16Target targets[kThunkTargets];
};
static_assert(offsetof(ThunkData32, checksum) == platform::thunkdata::kChecksum);
static_assert(offsetof(ThunkData32, lateBinding) == platform::thunkdata::kLateBinding);
static_assert(offsetof(ThunkData32, targetTable) == platform::thunkdata::kTargetTable);
#if defined(_WIN32) && !defined(_WIN64)
// In the DLL the table follows the header directly, one 32-bit address per entry point.
static_assert(offsetof(ThunkData32, targets) == platform::thunkdata::kHeaderSize);
static_assert(sizeof(ThunkData32) == platform::thunkdata::kHeaderSize + 4 * kThunkTargets);
#endif

extern ThunkData32 thk_ThunkData32;

// The entry points, in table order.
void T_VEXA_CLOSEPIPE(platform::Thunk16Frame& frame);
void T_VEXA_OPENPIPE(platform::Thunk16Frame& frame);
void T_VEXA_SETDMABUFFERSIZE(platform::Thunk16Frame& frame);
void T_VEXA_UNLOCKDEVICE(platform::Thunk16Frame& frame);
void T_VEXA_LOCKDEVICE(platform::Thunk16Frame& frame);
void T_VEXA_FREEDMACHANNEL(platform::Thunk16Frame& frame);
void T_VEXA_ALLOCATEDMACHANNEL(platform::Thunk16Frame& frame);
void T_VEXA_CLOSEDEVICE(platform::Thunk16Frame& frame);
void T_VEXA_OPENDEVICE(platform::Thunk16Frame& frame);
void T_VEXA_RESET(platform::Thunk16Frame& frame);
void T_VEXA_SETSYSTEMATTRIB(platform::Thunk16Frame& frame);
void T_VEXA_GETSYSTEMINFO(platform::Thunk16Frame& frame);
void T_VEXA_ATTACHINTCALLBACK(platform::Thunk16Frame& frame);
void T_VEXA_LOADUCODE(platform::Thunk16Frame& frame);
void T_VEXA_WRITEMEMORYBLOCK(platform::Thunk16Frame& frame);
void T_VEXA_READMEMORYBLOCK(platform::Thunk16Frame& frame);
void T_VEXA_SETREGISTER(platform::Thunk16Frame& frame);
void T_VEXA_GETREGISTER(platform::Thunk16Frame& frame);
void T_VEXA_EXIT(platform::Thunk16Frame& frame);
void T_VEXA_INITIALIZE(platform::Thunk16Frame& frame);

// The 32-bit functions behind the entry points. Tests put recording stand-ins here to see exactly
// what an entry point passes on; everything else leaves the VEXA_ functions in place.
struct ThunkCallees {
  decltype(&VEXA_ClosePipe) closePipe = VEXA_ClosePipe;
  decltype(&VEXA_OpenPipe) openPipe = VEXA_OpenPipe;
  decltype(&VEXA_SetDMABufferSize) setDmaBufferSize = VEXA_SetDMABufferSize;
  decltype(&VEXA_UnLockDevice) unlockDevice = VEXA_UnLockDevice;
  decltype(&VEXA_LockDevice) lockDevice = VEXA_LockDevice;
  decltype(&VEXA_FreeDMAChannel) freeDmaChannel = VEXA_FreeDMAChannel;
  decltype(&VEXA_AllocateDMAChannel) allocateDmaChannel = VEXA_AllocateDMAChannel;
  decltype(&VEXA_CloseDevice) closeDevice = VEXA_CloseDevice;
  decltype(&VEXA_OpenDevice) openDevice = VEXA_OpenDevice;
  decltype(&VEXA_Reset) reset = VEXA_Reset;
  decltype(&VEXA_SetSystemAttrib) setSystemAttrib = VEXA_SetSystemAttrib;
  decltype(&VEXA_GetSystemInfo) getSystemInfo = VEXA_GetSystemInfo;
  decltype(&VEXA_AttachIntCallback) attachIntCallback = VEXA_AttachIntCallback;
  decltype(&VEXA_LoadUCode) loadUCode = VEXA_LoadUCode;
  decltype(&VEXA_WriteMemoryBlock) writeMemoryBlock = VEXA_WriteMemoryBlock;
  decltype(&VEXA_ReadMemoryBlock) readMemoryBlock = VEXA_ReadMemoryBlock;
  decltype(&VEXA_SetRegister) setRegister = VEXA_SetRegister;
  decltype(&VEXA_GetRegister) getRegister = VEXA_GetRegister;
  decltype(&VEXA_Exit) exit = VEXA_Exit;
  decltype(&VEXA_Initialize) initialize = VEXA_Initialize;
};
ThunkCallees& Callees();

}  // namespace j6base
