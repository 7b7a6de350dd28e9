#include "pathwalk.h"

#include "displayname.h"
#include "filename.h"
#include "nativepath.h"

#include <QByteArrayList>
#include <QRegularExpression>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace tavrinel
{

namespace
{

using namespace nativepath;

// Symbolic links followed at most this many times, as the kernel does.
constexpr int maxLinks = 40;

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// A folder where everyone may create entries but only remove their own, as /tmp.
bool isSharedFolder(const struct stat &folder)
{
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

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
                                        target_.folderName()};
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

} // namespace

QString Target::folderName() const
{
    return displayFileName(fileNameFromBytes(folderPath));
}

std::variant<Target, WriteProblem> walkTo(const QByteArray &path)
{
    return Walk().run(path);
}

bool plantedByAnother(const struct stat &entry, const struct stat &folder)
{
    return isSharedFolder(folder) && entry.st_uid != ::geteuid() && entry.st_uid != folder.st_uid;
}

} // namespace tavrinel
