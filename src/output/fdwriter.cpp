#include "fdwriter.h"

#include "systemerror.h"

#include <algorithm>
#include <cerrno>

#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tavrinel
{

namespace
{

// Some systems take at most 2 GiB per call; asking for less is always allowed.
constexpr std::size_t largestWrite = std::size_t{1} << 30;

long long writeSome(int fd, const char *bytes, std::size_t size)
{
#if defined(Q_OS_WIN)
    return ::_write(fd, bytes, static_cast<unsigned>(size));
#else
    return ::write(fd, bytes, size);
#endif
}

} // namespace

bool FdWriter::write(const char *bytes, std::size_t size)
{
    if (failed())
        return false;
    if (fd_ < 0) {
        setError(EBADF);
        return false;
    }
    while (size > 0) {
        const long long written = writeSome(fd_, bytes, std::min(size, largestWrite));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A write that takes nothing without an error would repeat for ever.
            setError(written < 0 ? errno : EIO);
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

QString FdWriter::errorString() const
{
    return systemErrorText(error_);
}

} // namespace tavrinel
