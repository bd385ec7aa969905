/* J6BASE.DLL: the exported hardware access and DLS functions of the J6 Orvantis base driver library.
   Plain C, usable unchanged by 32-bit Windows callers and by host programs on the simulated PC. */
#ifndef J6BASE_H
#define J6BASE_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define J6API __stdcall
#else
#define J6API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status results of the VEXA_ operations. */
#define VEXA_OK 0u
#define VEXA_ERR_GENERAL 1u    /* no such card, bad argument, general refusal */
#define VEXA_ERR_INIT 2u       /* card initialisation refused */
#define VEXA_ERR_CONFLICT 3u   /* the device type conflicts with an open one */
#define VEXA_ERR_OPEN 4u       /* device type already open */
#define VEXA_ERR_DMA_IN_USE 6u /* DMA channel in use */
#define VEXA_ERR_NO_DMA 7u     /* the handle holds no DMA channel */
#define VEXA_ERR_HANDLE 8u     /* device handle not matching */
#define VEXA_ERR_NOT_OPEN 9u   /* device type not open */
#define VEXA_ERR_LOCKED 10u    /* already locked */
#define VEXA_ERR_LOCK 11u      /* lock or unlock refused */

/* Register groups of VEXA_GetRegister / VEXA_SetRegister. */
#define VEXA_REG_DIRECT 0u
#define VEXA_REG_INDEXED 1u
#define VEXA_REG_WIDE 2u

#define VEXA_DMA_RECORD_SIZE 34u /* what VEXA_AllocateDMAChannel copies out */

/* Ordinals 1 to 19. */
uint32_t J6API VEXA_AllocateDMAChannel(uint32_t deviceId, uint32_t handle, void* dmaRecord);
uint32_t J6API VEXA_AttachIntCallback(uint32_t deviceId, uint32_t attach, uint32_t callback);
uint32_t J6API VEXA_CloseDevice(uint32_t deviceId, uint32_t handle);
uint32_t J6API VEXA_ClosePipe(uint32_t deviceId, uint32_t unused, const uint32_t* pipe);
uint32_t J6API VEXA_Exit(uint32_t deviceId);
uint32_t J6API VEXA_FreeDMAChannel(uint32_t deviceId, uint32_t handle);
uint16_t J6API VEXA_GetRegister(uint32_t deviceId, uint32_t group, uint32_t index);
uint32_t J6API VEXA_GetSystemInfo(uint32_t deviceId, uint32_t index, void* result);
uint32_t J6API VEXA_Initialize(uint32_t hardwareKey, uint32_t* deviceId);
uint32_t J6API VEXA_LoadUCode(uint32_t deviceId, const char* path, uint32_t target);
uint32_t J6API VEXA_LockDevice(uint32_t deviceId, uint32_t handle, uint32_t value);
uint32_t J6API VEXA_OpenDevice(uint32_t deviceId, uint32_t type, uint32_t* handle);
uint32_t J6API VEXA_OpenPipe(uint32_t deviceId, uint32_t unused, const uint32_t* pipe);
void J6API VEXA_ReadMemoryBlock(uint32_t deviceId, uint32_t memory, uint16_t address, uint16_t* buffer,
                                uint16_t count);
uint32_t J6API VEXA_Reset(uint32_t deviceId);
uint32_t J6API VEXA_SetDMABufferSize(uint32_t deviceId, uint32_t handle, uint32_t wanted, uint32_t* granted);
void J6API VEXA_SetRegister(uint32_t deviceId, uint32_t group, uint32_t index, uint32_t value);
uint32_t J6API VEXA_UnLockDevice(uint32_t deviceId, uint32_t handle, uint32_t value);
void J6API VEXA_WriteMemoryBlock(uint32_t deviceId, uint32_t memory, uint16_t address, const uint16_t* buffer,
                                 uint16_t count);

/* Reached through the 16-bit thunk only; not in the export table. */
uint32_t J6API VEXA_SetSystemAttrib(uint32_t deviceId, uint32_t index, const uint32_t* value);

/* Ordinals 20 to 27: the DLS engine. */
uint32_t J6API DLSOpen(uint32_t* handle, uint32_t reserved);
uint32_t J6API DLSClose(uint32_t handle, uint32_t flags);
uint32_t J6API DLSLoadFile(uint32_t handle, uint32_t flags, uint32_t* collection, const char* fileName);
uint32_t J6API DLSUnloadFile(uint32_t handle, uint32_t collection);
uint32_t J6API DLSUnloadAll(uint32_t handle, uint32_t flags);
uint32_t J6API DLSCompactMemory(uint32_t handle);
uint32_t J6API DLSGetInfo(void* info);
uint32_t J6API DLSSetAttribute(uint32_t handle, uint32_t attribute, void* data);

#ifdef __cplusplus
}
#endif

#endif /* J6BASE_H */
