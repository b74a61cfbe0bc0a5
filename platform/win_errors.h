// The Win32 error codes that the system's operations return (0 for success),
// and the one mapping from POSIX errno values to them.
#pragma once

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD kSuccess = 0;                // ERROR_SUCCESS
inline constexpr DWORD kInvalidFunction = 1;        // ERROR_INVALID_FUNCTION
inline constexpr DWORD kFileNotFound = 2;           // ERROR_FILE_NOT_FOUND
inline constexpr DWORD kPathNotFound = 3;           // ERROR_PATH_NOT_FOUND
inline constexpr DWORD kTooManyOpenFiles = 4;       // ERROR_TOO_MANY_OPEN_FILES
inline constexpr DWORD kAccessDenied = 5;           // ERROR_ACCESS_DENIED
inline constexpr DWORD kInvalidHandle = 6;          // ERROR_INVALID_HANDLE
inline constexpr DWORD kNotEnoughMemory = 8;        // ERROR_NOT_ENOUGH_MEMORY
inline constexpr DWORD kBadCommand = 22;            // ERROR_BAD_COMMAND
inline constexpr DWORD kGenFailure = 31;            // ERROR_GEN_FAILURE
inline constexpr DWORD kSharingViolation = 32;      // ERROR_SHARING_VIOLATION
inline constexpr DWORD kNotSupported = 50;          // ERROR_NOT_SUPPORTED
inline constexpr DWORD kInvalidParameter = 87;      // ERROR_INVALID_PARAMETER
inline constexpr DWORD kBusy = 170;                 // ERROR_BUSY
inline constexpr DWORD kFilenameExcedRange = 206;   // ERROR_FILENAME_EXCED_RANGE
inline constexpr DWORD kMoreData = 234;             // ERROR_MORE_DATA
inline constexpr DWORD kWaitTimeout = 258;          // WAIT_TIMEOUT
inline constexpr DWORD kNoMoreItems = 259;          // ERROR_NO_MORE_ITEMS
inline constexpr DWORD kOperationAborted = 995;     // ERROR_OPERATION_ABORTED
inline constexpr DWORD kIoIncomplete = 996;         // ERROR_IO_INCOMPLETE
inline constexpr DWORD kIoPending = 997;            // ERROR_IO_PENDING
inline constexpr DWORD kDeviceNotConnected = 1167;  // ERROR_DEVICE_NOT_CONNECTED
inline constexpr DWORD kAlreadyInitialized = 1247;  // ERROR_ALREADY_INITIALIZED
inline constexpr DWORD kTimeout = 1460;             // ERROR_TIMEOUT
inline constexpr DWORD kInvalidArg = 0x80070057u;   // E_INVALIDARG

// Maps an errno value to the Win32 code a Windows build would have reported
// for the same failure. Unknown values become kGenFailure, never 0.
DWORD FromErrno(int err);

}  // namespace win
