// Numbers of the Win32 world that the deliverables and both backends share: error codes, value types,
// attribute bits. Kept here so deliverable code never needs a Windows header.
#pragma once

#include <cstdint>

namespace platform {

// Error codes, as GetLastError and the registry calls report them.
enum : std::uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorBadFormat = 11,
  kErrorInvalidData = 13,
  kErrorNoMoreFiles = 18,
  kErrorWriteProtect = 19,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorSharingViolation = 32,
  kErrorHandleDiskFull = 39,
  kErrorNotSupported = 50,
  kErrorFileExists = 80,
  kErrorDiskFull = 112,
  kErrorInvalidParameter = 87,
  kErrorCallNotImplemented = 120,
  kErrorInsufficientBuffer = 122,
  kErrorInvalidName = 123,
  kErrorNegativeSeek = 131,
  kErrorDirNotEmpty = 145,
  kErrorBadPathname = 161,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,
  kErrorMoreData = 234,
  kErrorNoMoreItems = 259,
  kErrorDirectory = 267,
  kErrorBadKey = 1010,
  kErrorKeyDeleted = 1018,
  kErrorServiceRequestTimeout = 1053,
  kErrorServiceAlreadyRunning = 1056,
  kErrorServiceDisabled = 1058,
  kErrorServiceDoesNotExist = 1060,
  kErrorServiceNotActive = 1062,
  kErrorServiceMarkedForDelete = 1072,
  kErrorServiceExists = 1073,
  kErrorDuplicateServiceName = 1078,
  kErrorResourceDataNotFound = 1812,
  kErrorResourceTypeNotFound = 1813,
};

// Registry value types.
enum : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
};

// File attribute bits.
enum : std::uint32_t {
  kFileAttributeReadOnly = 0x01,
  kFileAttributeHidden = 0x02,
  kFileAttributeSystem = 0x04,
  kFileAttributeDirectory = 0x10,
  kFileAttributeArchive = 0x20,
  kFileAttributeNormal = 0x80,
  kInvalidFileAttributes = 0xFFFFFFFF,
};

constexpr std::uint32_t kMaxPath = 260;

}  // namespace platform
