#include "filemetadata.h"

#include "descriptor.h"

#include <QByteArrayList>
#include <QtEndian>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/xattr.h>

namespace tavrinel
{

namespace
{

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

} // namespace

bool takeOverMetadata(int file, int folder, const QByteArray &name, const struct stat &old)
{
    struct stat made;
    if (::fstat(file, &made) != 0)
        return false;
    const bool sameOwners = made.st_uid == old.st_uid && made.st_gid == old.st_gid;
    if (!sameOwners && ::fchown(file, old.st_uid, old.st_gid) != 0)
        return false; // only the superuser gives files away; a member may keep the group
    const Descriptor still(::openat(folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat stillInfo;
    if (!still.valid() || ::fstat(still.get(), &stillInfo) != 0 || stillInfo.st_ino != old.st_ino ||
        stillInfo.st_dev != old.st_dev)
        return false;
    return copyAttributes(still.get(), file) && ::fchmod(file, 0600) == 0;
}

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

} // namespace tavrinel
