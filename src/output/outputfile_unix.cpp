#include "filename.h"
#include "nativepath.h"
#include "outputfile.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrinel
{

namespace
{

using namespace nativepath;

// How a path is written: through an open descriptor of ours, in place, or by replacing a file.
struct Target {
    enum Kind { Descriptor, InPlace, Replace, Unusable } kind = Unusable;
    int descriptor = -1;
    QByteArray path; // the file the name finally refers to, symbolic links followed
    int error = 0;   // for Unusable
};

// Symbolic links followed at most this many times, as the kernel does.
constexpr int maxLinks = 40;

// The descriptor number when the path is /proc/PID/fd/N of this process; -2 for another
// process's descriptor; -1 for any other path.
int descriptorNamed(const QByteArray &path)
{
    static const QRegularExpression pattern(
        QStringLiteral("^/proc/(self|thread-self|[0-9]+)(/task/[0-9]+)?/fd/([0-9]+)$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(path));
    if (!match.hasMatch())
        return -1;
    const QString owner = match.captured(1);
    const bool ours = owner == QLatin1StringView("self") ||
                      owner == QLatin1StringView("thread-self") ||
                      owner.toLongLong() == static_cast<long long>(::getpid());
    return ours ? match.captured(3).toInt() : -2;
}

// Follows the name one link at a time, so that a name of an open descriptor is seen as such
// before the kernel's magic link would lead to the file behind it.
Target resolve(QByteArray path)
{
    for (int links = 0; links <= maxLinks; ++links) {
        const QByteArray folder = canonical(folderOf(path));
        if (folder.isEmpty())
            return {Target::Unusable, -1, path, errno};
        const QByteArray full = join(folder, nameOf(path));
        if (const int fd = descriptorNamed(full); fd != -1)
            return fd >= 0 ? Target{Target::Descriptor, fd, full, 0}
                           : Target{Target::InPlace, -1, full, 0};
        struct stat info;
        if (::lstat(full.constData(), &info) != 0)
            return {Target::Replace, -1, full, 0}; // a new file
        if (S_ISREG(info.st_mode))
            return {Target::Replace, -1, full, 0};
        if (!S_ISLNK(info.st_mode))
            return {Target::InPlace, -1, full, 0};
        char target[PATH_MAX];
        const ssize_t length = ::readlink(full.constData(), target, sizeof target - 1);
        if (length < 0)
            return {Target::Unusable, -1, full, errno};
        const QByteArray link(target, length);
        path = link.startsWith('/') ? link : join(folder, link);
    }
    return {Target::Unusable, -1, path, ELOOP};
}

QByteArray temporaryName(const QByteArray &folder)
{
    return join(folder, ".tavrinel-" +
                            QByteArray::number(QRandomGenerator::global()->generate64(), 36) +
                            ".tmp");
}

} // namespace

struct OutputFile::Platform {
    QByteArray name;
    Target target;
    QByteArray temporary; // while a replacement is being written
    FdWriter writer;
    bool committed = false;

    bool fail(int errorNumber)
    {
        writer.setError(errorNumber);
        return false;
    }

    bool openReplacement()
    {
        const QByteArray &path = target.path;
        struct stat existing;
        const bool exists = ::stat(path.constData(), &existing) == 0;
        if (exists && ::access(path.constData(), W_OK) != 0)
            return fail(errno); // a read-only file is refused, not replaced
        const QByteArray folder = folderOf(path);
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            temporary = temporaryName(folder);
            fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd < 0) {
            temporary.clear();
            return fail(errno);
        }
        writer = FdWriter(fd);
        if (exists) { // the replacement keeps the file's owner and permissions where it can
            if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
                // Only the superuser may give a file away; the permissions still apply.
            }
            if (::fchmod(fd, existing.st_mode & 07777) != 0)
                return fail(errno);
        }
        return true;
    }

    bool openInPlace()
    {
        const int fd = target.kind == Target::Descriptor
                           ? ::fcntl(target.descriptor, F_DUPFD_CLOEXEC, 3)
                           : ::open(target.path.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail(errno);
        writer = FdWriter(fd);
        return true;
    }

    bool closeDescriptor()
    {
        const int fd = writer.fd();
        if (fd < 0)
            return !writer.failed();
        const bool closed = ::close(fd) == 0;
        const int closeError = errno;
        const int error = writer.error();
        writer = FdWriter();
        writer.setError(error);
        if (!closed)
            writer.setError(closeError);
        return !writer.failed();
    }

    void discard()
    {
        closeDescriptor();
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        temporary.clear();
    }

    bool commitReplacement()
    {
        if (writer.failed() || ::fsync(writer.fd()) != 0) {
            writer.setError(errno);
            discard();
            return false;
        }
        if (!closeDescriptor() || ::rename(temporary.constData(), target.path.constData()) != 0) {
            writer.setError(errno);
            discard();
            return false;
        }
        temporary.clear();
        // The new name is on disk once its folder is synced; a folder that cannot be synced
        // still holds the complete file.
        if (const int folder = ::open(folderOf(target.path).constData(), O_RDONLY | O_CLOEXEC);
            folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
        return true;
    }
};

OutputFile::OutputFile(const QString &path) : d_(std::make_unique<Platform>())
{
    d_->name = fileNameBytes(path);
}

OutputFile::~OutputFile()
{
    if (!d_->committed)
        d_->discard();
}

bool OutputFile::open()
{
    if (d_->name.isEmpty())
        return d_->fail(ENOENT);
    d_->target = resolve(d_->name);
    switch (d_->target.kind) {
    case Target::Replace:
        return d_->openReplacement();
    case Target::Descriptor:
    case Target::InPlace:
        return d_->openInPlace();
    case Target::Unusable:
        break;
    }
    return d_->fail(d_->target.error);
}

bool OutputFile::write(const char *bytes, std::size_t size)
{
    return d_->writer.write(bytes, size);
}

bool OutputFile::commit()
{
    if (d_->committed)
        return true;
    const bool done = d_->temporary.isEmpty() ? d_->closeDescriptor() : d_->commitReplacement();
    d_->committed = done;
    return done;
}

QString OutputFile::errorString() const
{
    return d_->writer.errorString();
}

} // namespace tavrinel
