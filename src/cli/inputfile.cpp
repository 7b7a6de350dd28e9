#include "cli/inputfile.h"

#include "output/displayname.h"
#include "output/filename.h"
#include "output/systemerror.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#if defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

#if defined(Q_OS_WIN)
struct FileStatus : _stat64 {
    qint64 writeTime = 0; // nanoseconds
};
int statusOf(int fd, FileStatus &status)
{
    if (::_fstat64(fd, &status) != 0)
        return -1;
    // st_mtime counts whole seconds: a rewrite within the same second would go unseen.
    FILETIME written{};
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    status.writeTime =
        GetFileTime(handle, nullptr, nullptr, &written)
            ? (qint64{written.dwHighDateTime} << 32 | qint64{written.dwLowDateTime}) * 100
            : qint64{status.st_mtime} * 1000000000;
    return 0;
}
qint64 modifiedNanoseconds(const FileStatus &status)
{
    return status.writeTime;
}
int openForReading(const QString &path)
{
    return ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()), _O_RDONLY | _O_BINARY);
}
qint64 readSome(int fd, char *buffer, qint64 capacity)
{
    return ::_read(fd, buffer, static_cast<unsigned>(std::min<qint64>(capacity, 1 << 30)));
}
qint64 seekTo(int fd, qint64 offset, int whence)
{
    return ::_lseeki64(fd, offset, whence);
}
void closeDescriptor(int fd)
{
    ::_close(fd);
}
#else
using FileStatus = struct stat;
int statusOf(int fd, FileStatus &status)
{
    return ::fstat(fd, &status);
}
qint64 modifiedNanoseconds(const FileStatus &status)
{
    return qint64{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
}
int openForReading(const QString &path)
{
    return ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
}
qint64 readSome(int fd, char *buffer, qint64 capacity)
{
    return ::read(fd, buffer, static_cast<std::size_t>(std::min<qint64>(capacity, 1 << 30)));
}
qint64 seekTo(int fd, qint64 offset, int whence)
{
    return ::lseek(fd, static_cast<off_t>(offset), whence);
}
void closeDescriptor(int fd)
{
    ::close(fd);
}
#endif

constexpr int standardInput = 0;

} // namespace

InputFile::InputFile(const QString &path) : path_(path) {}

InputFile::~InputFile()
{
    if (fd_ >= 0 && fd_ != standardInput)
        closeDescriptor(fd_);
}

QString inputDisplayName(const QString &path)
{
    return path.isEmpty() ? u"standard input"_s : displayFileName(path);
}

QString InputFile::displayName() const
{
    return inputDisplayName(path_);
}

bool InputFile::fail(int errorNumber)
{
    error_ = systemErrorText(errorNumber);
    return false;
}

bool InputFile::open()
{
    fd_ = path_.isEmpty() ? standardInput : openForReading(path_);
    if (fd_ < 0)
        return fail(errno);
    FileStatus status;
    if (statusOf(fd_, status) != 0)
        return fail(errno);
    if (S_ISDIR(status.st_mode))
        return fail(EISDIR);
#if defined(Q_OS_WIN)
    identity_ = fileIdentityOf(fd_);
#else
    identity_ = {static_cast<quint64>(status.st_dev), static_cast<quint64>(status.st_ino), true};
#endif
    regular_ = S_ISREG(status.st_mode) && status.st_size > 0;
    if (regular_) {
        size_ = status.st_size;
        modified_ = modifiedNanoseconds(status);
        // Standard input may have been read in part already: what is left is what counts.
        start_ = std::max<qint64>(seekTo(fd_, 0, SEEK_CUR), 0);
        expected_ = std::max<qint64>(size_ - start_, 0);
    }
    return true;
}

qint64 InputFile::read(char *buffer, qint64 capacity)
{
    for (;;) {
        const qint64 got = readSome(fd_, buffer, capacity);
        if (got >= 0) {
            read_ += got;
            return got;
        }
        if (errno != EINTR) {
            fail(errno);
            return -1;
        }
    }
}

bool InputFile::rewind()
{
    if (!regular_)
        return fail(ESPIPE);
    if (seekTo(fd_, start_, SEEK_SET) != start_)
        return fail(errno);
    read_ = 0;
    return true;
}

bool InputFile::unchangedSinceOpen()
{
    if (!regular_)
        return true;
    const bool same = !changedSinceOpen() && read_ == expected_;
    if (!same)
        error_ = u"the file changed while it was read"_s;
    return same;
}

bool InputFile::changedSinceOpen()
{
    if (!regular_)
        return false;
    FileStatus status;
    const bool changed = statusOf(fd_, status) != 0 || status.st_size != size_ ||
                         modifiedNanoseconds(status) != modified_;
    if (changed)
        error_ = u"the file changed while it was read"_s;
    return changed;
}

} // namespace tavrinel::cli
