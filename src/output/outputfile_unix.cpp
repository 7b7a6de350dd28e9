#include "descriptor.h"
#include "displayname.h"
#include "filename.h"
#include "foldersyncs.h"
#include "nativepath.h"
#include "outputfile.h"
#include "writesignals.h"

#include <QByteArrayList>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <variant>

namespace tavrinel
{

namespace
{

using namespace nativepath;

// Symbolic links followed at most this many times, as the kernel does.
constexpr int maxLinks = 40;

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

QString shownFolder(const QByteArray &folder)
{
    return displayFileName(fileNameFromBytes(folder));
}

// What the name finally refers to: an entry of a folder held open, so that every later step
// works on that folder and not on a path that someone could change meanwhile.
struct Target {
    enum Kind { Missing, Regular, Other, OwnDescriptor, OthersDescriptor } kind = Missing;
    Descriptor folder;     // O_PATH
    QByteArray folderPath; // absolute, links resolved, for messages
    struct stat folderInfo {
    };
    QByteArray name; // in the folder
    struct stat info {
    };                   // of the entry, when it exists
    int descriptor = -1; // OwnDescriptor
};

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

// A folder where everyone may create entries but only remove their own, as /tmp.
bool isSharedFolder(const struct stat &folder)
{
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// In such a folder anyone can put a name in the way for someone else to write through. Like the
// kernel's fs.protected_symlinks and fs.protected_regular (which a container may not have), only
// what the caller or the folder's owner made there is trusted.
bool plantedByAnother(const struct stat &entry, const struct stat &folder)
{
    return isSharedFolder(folder) && entry.st_uid != ::geteuid() && entry.st_uid != folder.st_uid;
}

QByteArrayList componentsOf(const QByteArray &path)
{
    QByteArrayList parts = path.split('/');
    parts.removeIf([](const QByteArray &part) { return part.isEmpty() || part == "."; });
    return parts;
}

std::optional<QByteArray> linkTarget(int folder, const QByteArray &name)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlinkat(folder, name.constData(), target, sizeof target);
    if (length < 0)
        return std::nullopt;
    if (length == sizeof target) {
        errno = ENAMETOOLONG;
        return std::nullopt;
    }
    return QByteArray(target, length);
}

QByteArray currentFolder()
{
    char path[PATH_MAX];
    return ::getcwd(path, sizeof path) ? QByteArray(path) : QByteArray(".");
}

// Walks the name one component at a time from a folder held open, as the kernel would, but
// following each symbolic link itself: so that the shared-folder rule holds for every link on
// the way and a name of an open descriptor is seen as such before the kernel's magic link would
// lead to the file behind it.
class Walk
{
public:
    std::variant<Target, WriteProblem> run(const QByteArray &path)
    {
        const bool absolute = path.startsWith('/');
        if (!enterFrom(absolute ? QByteArray("/") : currentFolder(), absolute))
            return systemProblem(errno);
        pending_ = componentsOf(path);
        mustBeFolder_ = path.endsWith('/');
        for (int links = 0;;) {
            if (pending_.isEmpty())
                return systemProblem(EISDIR); // "/", "." or a link to a folder with a slash
            const QByteArray part = pending_.takeFirst();
            const bool last = pending_.isEmpty();
            if (::fstat(target_.folder.get(), &target_.folderInfo) != 0)
                return systemProblem(errno);
            if (part == "..") {
                if (!enter(part))
                    return systemProblem(errno);
                continue;
            }
            struct stat info;
            if (::fstatat(target_.folder.get(), part.constData(), &info, AT_SYMLINK_NOFOLLOW) !=
                0) {
                if (errno == ENOENT && last && !mustBeFolder_)
                    return found(Target::Missing, part, info);
                return systemProblem(errno);
            }
            if (S_ISLNK(info.st_mode)) {
                if (plantedByAnother(info, target_.folderInfo))
                    return WriteProblem{WriteProblem::Kind::ForeignLink, EACCES,
                                        shownFolder(target_.folderPath)};
                if (last) {
                    const int fd = descriptorNamed(join(target_.folderPath, part));
                    if (fd != -1) {
                        target_.descriptor = fd;
                        return found(fd >= 0 ? Target::OwnDescriptor : Target::OthersDescriptor,
                                     part, info);
                    }
                }
                if (++links > maxLinks)
                    return systemProblem(ELOOP);
                if (!follow(part, last))
                    return systemProblem(errno);
                continue;
            }
            if (last) {
                if (S_ISDIR(info.st_mode) || mustBeFolder_)
                    return systemProblem(S_ISDIR(info.st_mode) ? EISDIR : ENOTDIR);
                return found(S_ISREG(info.st_mode) ? Target::Regular : Target::Other, part, info);
            }
            if (!S_ISDIR(info.st_mode))
                return systemProblem(ENOTDIR);
            if (!enter(part))
                return systemProblem(errno);
        }
    }

private:
    bool enterFrom(const QByteArray &folder, bool absolute)
    {
        target_.folder = Descriptor(::open(absolute ? "/" : ".", folderFlags));
        target_.folderPath = folder;
        return target_.folder.valid();
    }

    bool enter(const QByteArray &part)
    {
        Descriptor next(::openat(target_.folder.get(), part.constData(), folderFlags | O_NOFOLLOW));
        if (!next.valid())
            return false;
        target_.folder = std::move(next);
        target_.folderPath =
            part == ".." ? folderOf(target_.folderPath) : join(target_.folderPath, part);
        return true;
    }

    bool follow(const QByteArray &part, bool last)
    {
        const std::optional<QByteArray> link = linkTarget(target_.folder.get(), part);
        if (!link)
            return false;
        if (link->startsWith('/') && !enterFrom("/", true))
            return false;
        if (last && link->endsWith('/'))
            mustBeFolder_ = true;
        pending_ = componentsOf(*link) + pending_;
        return true;
    }

    Target found(Target::Kind kind, const QByteArray &name, const struct stat &info)
    {
        target_.kind = kind;
        target_.name = name;
        if (kind != Target::Missing)
            target_.info = info;
        return std::move(target_);
    }

    Target target_;
    QByteArrayList pending_;
    bool mustBeFolder_ = false;
};

FileIdentity identityOf(const struct stat &info)
{
    return {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino), true};
}

QByteArray temporaryName()
{
    return ".tavrinel-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
}

// The path through which the extended attributes of a file held by an O_PATH descriptor are
// read: there are no descriptor calls for those (before Linux 6.13), and the name itself could
// be changed meanwhile.
QByteArray procPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// The names of the file's extended attributes, NUL-separated; nothing when it cannot be told.
std::optional<QByteArray> attributeNames(const QByteArray &path)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const ssize_t size = ::listxattr(path.constData(), nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::optional(QByteArray()) : std::nullopt;
        QByteArray names(size, Qt::Uninitialized);
        const ssize_t got = ::listxattr(path.constData(), names.data(), size);
        if (got >= 0)
            return names.left(got);
        if (errno != ERANGE) // grew in between
            return std::nullopt;
    }
    return std::nullopt;
}

template<class Get> std::optional<QByteArray> attributeValue(Get get)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return std::nullopt;
        QByteArray value(size, Qt::Uninitialized);
        const ssize_t got = get(value.data(), static_cast<std::size_t>(size));
        if (got >= 0)
            return value.left(got);
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt;
}

// Gives the new file every extended attribute of the old one: on Linux these include the ACL
// (system.posix_acl_access) and security labels. False when any cannot be read or set, so that
// the caller writes in place instead of losing it.
bool copyAttributes(int from, int to)
{
    const QByteArray source = procPath(from);
    const std::optional<QByteArray> names = attributeNames(source);
    if (!names)
        return false;
    for (const QByteArray &name : names->split('\0')) {
        if (name.isEmpty())
            continue;
        const auto value = attributeValue([&](char *buffer, std::size_t size) {
            return ::getxattr(source.constData(), name.constData(), buffer, size);
        });
        if (!value)
            return false;
        const auto current = attributeValue([&](char *buffer, std::size_t size) {
            return ::fgetxattr(to, name.constData(), buffer, size);
        });
        if (current == value) // a label the new file was given already
            continue;
        if (::fsetxattr(to, name.constData(), value->constData(),
                        static_cast<std::size_t>(value->size()), 0) != 0)
            return false;
    }
    return true;
}

constexpr char accessAcl[] = "system.posix_acl_access";
constexpr char defaultAcl[] = "system.posix_acl_default";

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A POSIX ACL as Linux stores it: a 4-byte version, then 8-byte entries of tag, permissions, id.
// Creating a file with mode 0666 takes the execute bit from the owner's, the mask's (or else the
// owning group's) and the others' entries.
QByteArray withoutExecute(QByteArray acl)
{
    constexpr quint16 userObject = 0x01, groupObject = 0x04, mask = 0x10, other = 0x20;
    constexpr qsizetype header = 4, entry = 8;
    bool hasMask = false;
    for (qsizetype at = header; at + entry <= acl.size(); at += entry)
        hasMask = hasMask || qFromLittleEndian<quint16>(acl.constData() + at) == mask;
    for (qsizetype at = header; at + entry <= acl.size(); at += entry) {
        const quint16 tag = qFromLittleEndian<quint16>(acl.constData() + at);
        if (tag == userObject || tag == other || tag == (hasMask ? mask : groupObject)) {
            const quint16 permissions = qFromLittleEndian<quint16>(acl.constData() + at + 2);
            qToLittleEndian<quint16>(permissions & ~quint16(1), acl.data() + at + 2);
        }
    }
    return acl;
}

// The permissions a file created with mode 0666 gets in the folder: the umask's, or where the
// folder has a default ACL, that ACL less the execute bits.
bool giveNewFilePermissions(int file, int folder)
{
    const QByteArray folderPath = procPath(folder);
    const auto inherited = attributeValue([&](char *buffer, std::size_t size) {
        return ::getxattr(folderPath.constData(), defaultAcl, buffer, size);
    });
    if (!inherited || inherited->isEmpty())
        return ::fchmod(file, 0666 & ~currentUmask()) == 0;
    const QByteArray acl = withoutExecute(*inherited);
    return ::fsetxattr(file, accessAcl, acl.constData(), static_cast<std::size_t>(acl.size()), 0) ==
           0;
}

// Whether `size` bytes can be written to the file without the disk, a quota or the file size
// limit stopping the write half-way: the space is allocated beforehand where the file system
// can, and otherwise the free space is looked at.
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

} // namespace

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

    QString folderName() const { return shownFolder(target.folderPath); }
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
        if (replacing && !takeOverFromOldFile()) {
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

    // The new file gets the old one's owner, group and extended attributes now, while it is
    // empty, so that a failure sends the write in place before anything was written. The ACL's
    // mask is closed again at once (mode 0600): a user it names could otherwise open the
    // file while it is written.
    bool takeOverFromOldFile()
    {
        struct stat made;
        if (::fstat(fd.get(), &made) != 0)
            return false;
        const bool sameOwners =
            made.st_uid == target.info.st_uid && made.st_gid == target.info.st_gid;
        if (!sameOwners && ::fchown(fd.get(), target.info.st_uid, target.info.st_gid) != 0)
            return false; // only the superuser gives files away; a member may keep the group
        const Descriptor old(
            ::openat(target.folder.get(), entry(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat oldInfo;
        if (!old.valid() || ::fstat(old.get(), &oldInfo) != 0 ||
            oldInfo.st_ino != target.info.st_ino || oldInfo.st_dev != target.info.st_dev)
            return false;
        return copyAttributes(old.get(), fd.get()) && ::fchmod(fd.get(), 0600) == 0;
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
    auto resolved = Walk().run(d_->name);
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
