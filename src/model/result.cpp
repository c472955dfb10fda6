#include "result.h"

#include <cerrno>

namespace velmo {

FailureKind FailureKindOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FailureKind::NotFound;
    case EACCES:
    case EPERM:
        return FailureKind::NoPermission;
    case EROFS:
        return FailureKind::ReadOnly;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return FailureKind::NoSpace;
    case EFBIG:
        return FailureKind::TooLarge;
    case EISDIR:
        return FailureKind::NotAFile;
    default:
        return FailureKind::Other;
    }
}

} // namespace velmo
