#include <cerrno>

#include "platform/win_errors.h"

namespace win {

DWORD FromErrno(int err) {
  switch (err) {
    case 0:
      return kSuccess;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return kFileNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
      return kAccessDenied;
    case EBUSY:
      return kAccessDenied;  // exclusive open refused: the device is in use
    case EAGAIN:
      return kBusy;
    case EBADF:
      return kInvalidHandle;
    case ENOMEM:
      return kNotEnoughMemory;
    case EINVAL:
    case ERANGE:
      return kInvalidParameter;
    case ENOTTY:
    case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
    case EOPNOTSUPP:
#endif
    case ENOSYS:
      return kNotSupported;
    case ENAMETOOLONG:
      return kFilenameExcedRange;
    case ETIMEDOUT:
      return kTimeout;
    case EINTR:
    case ECANCELED:
      return kOperationAborted;
    case EIO:
    case EPIPE:
    case ENOTCONN:
    case ESHUTDOWN:
    case ECONNRESET:
      return kDeviceNotConnected;
    default:
      return kGenFailure;
  }
}

}  // namespace win
