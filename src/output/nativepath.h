#pragma once

// Path arithmetic on the system's byte names (Linux), where QDir and QFileInfo cannot be used
// because they would re-encode names that are not UTF-8.

#include <QByteArray>

namespace tavrinel::nativepath
{

// The folder part of a path: "." for a bare name, "/" for a name in the root.
inline QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

inline QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

inline QByteArray join(const QByteArray &folder, const QByteArray &name)
{
    QByteArray path = folder;
    if (!path.endsWith('/'))
        path += '/';
    return path += name;
}

// The absolute path with every symbolic link resolved; empty when it does not exist.
QByteArray canonical(const QByteArray &path);

} // namespace tavrinel::nativepath
