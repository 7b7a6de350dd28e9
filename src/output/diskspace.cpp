#include "diskspace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace tavrinel
{

bool reserveSpace(int fd, qint64 size)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(size) > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    if (size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    struct stat info;
    struct statvfs disk;
    if (::fstat(fd, &info) != 0 || ::fstatvfs(fd, &disk) != 0)
        return false;
    const qint64 needed = size - qint64{info.st_blocks} * 512;
    if (needed > 0 && static_cast<unsigned long long>(needed) >
                          static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

} // namespace tavrinel
