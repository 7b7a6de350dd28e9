#include "descriptor.h"
#include "diskspace.h"
#include "filemetadata.h"
#include "filename.h"
#include "foldersyncs.h"
#include "outputfile.h"
#include "pathwalk.h"
#include "writesignals.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace tavrinel
{

namespace
{

FileIdentity identityOf(const struct stat &info)
{
    return {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino), true};
}

QByteArray temporaryName()
{
    return ".tavrinel-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
}

} // namespace

FileIdentity fileIdentityOf(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return identityOf(info);
}

struct OutputFile::Platform {
    QByteArray name;
    Options options;
    FileIdentity refused;
    Target target;
    Descriptor fd;
    FdWriter writer;
    QByteArray temporary; // while a replacement is being written
    mode_t finalMode = 0; // the replacement's, given to it just before it replaces the file
    bool newFile = false; // the replacement has no file to replace
    bool inPlace = false; // a regular file overwritten in place: `pending` is its content
    QByteArray pending;
    WriteProblem problem;
    bool committed = false;

    bool fail(const WriteProblem &why)
    {
        if (problem.kind == WriteProblem::Kind::None)
            problem = why;
        return false;
    }
    bool fail(int error) { return fail(systemProblem(error)); }

    WriteProblem firstProblem() const
    {
        if (problem.kind != WriteProblem::Kind::None)
            return problem;
        return writer.failed() ? systemProblem(writer.error()) : WriteProblem();
    }

    QString folderName() const { return target.folderName(); }
    const char *entry() const { return target.name.constData(); }

    bool open()
    {
        switch (target.kind) {
        case Target::OwnDescriptor:
            return openDescriptor();
        case Target::OthersDescriptor:
        case Target::Other:
            return openOther();
        case Target::Missing:
            return openReplacement(false);
        case Target::Regular:
            return openRegular();
        }
        return fail(EINVAL);
    }

    bool isRefused(const struct stat &info) { return refused.sameAs(identityOf(info)); }

    bool openDescriptor()
    {
        struct stat info;
        if (::fstat(target.descriptor, &info) != 0)
            return fail(errno);
        if (options.regularFileOnly)
            return fail({WriteProblem::Kind::NotRegularFile, 0, {}});
        if (isRefused(info))
            return fail({WriteProblem::Kind::IsInput, 0, {}});
        fd = Descriptor(::fcntl(target.descriptor, F_DUPFD_CLOEXEC, 3));
        return useDescriptor();
    }

    // A device, a pipe or another process's descriptor: written as it comes. A pipe waits for a
    // reader, as `-o FIFO` always has.
    bool openOther()
    {
        if (target.kind == Target::Other && plantedByAnother(target.info, target.folderInfo))
            return fail({WriteProblem::Kind::ForeignFile, EACCES, folderName()});
        if (options.regularFileOnly)
            return fail({WriteProblem::Kind::NotRegularFile, 0, {}});
        const int follow = target.kind == Target::Other ? O_NOFOLLOW : 0;
        fd = Descriptor(
            ::openat(target.folder.get(), entry(), O_WRONLY | O_CLOEXEC | O_NOCTTY | follow));
        struct stat info;
        if (fd.valid() && ::fstat(fd.get(), &info) == 0 && isRefused(info))
            return fail({WriteProblem::Kind::IsInput, 0, {}});
        return useDescriptor();
    }

    bool useDescriptor()
    {
        if (!fd.valid())
            return fail(errno);
        writer = FdWriter(fd.get());
        return true;
    }

    bool openRegular()
    {
        if (plantedByAnother(target.info, target.folderInfo))
            return fail({WriteProblem::Kind::ForeignFile, EACCES, folderName()});
        if (isRefused(target.info))
            return fail({WriteProblem::Kind::IsInput, 0, {}});
        // A read-only file is refused, not replaced.
        if (::faccessat(target.folder.get(), entry(), W_OK, AT_EACCESS) != 0)
            return fail(errno);
        // Replacing one name would leave the others with the old text.
        if (target.info.st_nlink > 1)
            return openInPlace();
        return openReplacement(true);
    }

    bool openReplacement(bool replacing)
    {
        newFile = !replacing;
        if (!createTemporary()) {
            const int error = errno;
            // A folder that takes no new files: the file itself may still be written.
            if (replacing && (error == EACCES || error == EPERM))
                return openInPlace();
            return fail({WriteProblem::Kind::CannotCreateIn, error, folderName()});
        }
        // The old file's owner, group and attributes now, while the new one is empty: a failure
        // sends the write in place before anything was written.
        if (replacing &&
            !takeOverMetadata(fd.get(), target.folder.get(), target.name, target.info)) {
            dropTemporary();
            return openInPlace();
        }
        finalMode = target.info.st_mode & 07777;
        writer = FdWriter(fd.get());
        return true;
    }

    // Readable by its owner only from the start: a reader who opened it while it was being
    // written would keep the descriptor, and the text, whatever permissions it got later.
    bool createTemporary()
    {
        const TerminationSignalsHeld held;
        for (int attempt = 0; attempt < 100; ++attempt) {
            temporary = temporaryName();
            fd = Descriptor(::openat(target.folder.get(), temporary.constData(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (fd.valid()) {
                rememberTemporaryFile(target.folder.get(), temporary.constData());
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        const int error = errno;
        temporary.clear();
        errno = error;
        return false;
    }

    void dropTemporary()
    {
        fd.reset();
        if (temporary.isEmpty())
            return;
        ::unlinkat(target.folder.get(), temporary.constData(), 0);
        forgetTemporaryFile();
        temporary.clear();
    }

    // The file itself, opened without waiting on a pipe that someone put in its place; the
    // result is kept until commit() so that a failure before then leaves the file as it was.
    bool openInPlace()
    {
        inPlace = true;
        fd = Descriptor(::openat(target.folder.get(), entry(),
                                 O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd.valid())
            return fail(errno);
        struct stat info;
        if (::fstat(fd.get(), &info) != 0)
            return fail(errno);
        if (!S_ISREG(info.st_mode))
            return fail({WriteProblem::Kind::NotRegularFile, 0, {}});
        if (plantedByAnother(info, target.folderInfo))
            return fail({WriteProblem::Kind::ForeignFile, EACCES, folderName()});
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
            return fail(errno);
        return true;
    }

    bool write(const char *bytes, std::size_t size)
    {
        if (problem.kind != WriteProblem::Kind::None)
            return false;
        if (!inPlace)
            return writer.write(bytes, size);
        if (!fd.valid())
            return fail(EBADF);
        pending.append(bytes, static_cast<qsizetype>(size));
        return true;
    }

    // Nothing of the file changes before the space for all of it is there; a signal waits until
    // the file is whole again. An I/O error half-way can still leave it damaged.
    bool commitInPlace()
    {
        if (problem.kind != WriteProblem::Kind::None)
            return false;
        const TerminationSignalsHeld held;
        const qint64 size = pending.size();
        if (!reserveSpace(fd.get(), size) || ::lseek(fd.get(), 0, SEEK_SET) != 0)
            return fail(errno);
        writer = FdWriter(fd.get());
        if (!writer.write(pending.constData(), static_cast<std::size_t>(size)))
            return false;
        if (::ftruncate(fd.get(), size) != 0 || ::fsync(fd.get()) != 0 || !fd.close())
            return fail(errno);
        pending.clear();
        return true;
    }

    bool commitReplacement()
    {
        const bool permitted =
            newFile ? giveNewFilePermissions(fd.get(), target.folder.get())
                    : ::fchmod(fd.get(), finalMode) == 0; // the ACL's mask opens again with it
        if (writer.failed() || problem.kind != WriteProblem::Kind::None || !permitted ||
            ::fsync(fd.get()) != 0 || !fd.close() ||
            ::renameat(target.folder.get(), temporary.constData(), target.folder.get(), entry()) !=
                0) {
            if (!writer.failed())
                fail(errno);
            dropTemporary();
            return false;
        }
        forgetTemporaryFile();
        temporary.clear();
        syncFolder();
        return true;
    }

    // The new name is on disk once its folder is synced; a folder that cannot be synced still
    // holds the complete file.
    void syncFolder()
    {
        if (options.folderSyncs) {
            options.folderSyncs->add(target.folder.get(), folderName());
            return;
        }
        const Descriptor folder(
            ::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.valid())
            ::fsync(folder.get());
    }

    bool commitStream()
    {
        if (writer.failed() || problem.kind != WriteProblem::Kind::None)
            return false;
        return fd.close() || fail(errno);
    }
};

OutputFile::OutputFile(const QString &path, const Options &options)
    : d_(std::make_unique<Platform>())
{
    d_->name = fileNameBytes(path);
    d_->options = options;
}

OutputFile::~OutputFile()
{
    if (!d_->committed)
        d_->dropTemporary();
}

void OutputFile::refuseFile(const FileIdentity &file)
{
    d_->refused = file;
}

bool OutputFile::open()
{
    if (d_->name.isEmpty())
        return d_->fail(ENOENT);
    auto resolved = walkTo(d_->name);
    if (const auto *problem = std::get_if<WriteProblem>(&resolved))
        return d_->fail(*problem);
    d_->target = std::move(std::get<Target>(resolved));
    return d_->open();
}

bool OutputFile::write(const char *bytes, std::size_t size)
{
    return d_->write(bytes, size);
}

bool OutputFile::commit()
{
    if (d_->committed)
        return true;
    const bool done = d_->inPlace                ? d_->commitInPlace()
                      : !d_->temporary.isEmpty() ? d_->commitReplacement()
                                                 : d_->commitStream();
    d_->committed = done;
    return done;
}

WriteProblem OutputFile::problem() const
{
    return d_->firstProblem();
}

QString OutputFile::errorString() const
{
    return describeProblem(problem());
}

} // namespace tavrinel
