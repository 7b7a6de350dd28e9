#include "fileinfo.h"

#include <QDir>
#include <QFileInfo>

#if !defined(Q_OS_WIN)
#include "filename.h"
#include "nativepath.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace tavrinel
{

#if defined(Q_OS_WIN)

FileKind fileKind(const QString &name)
{
    const QFileInfo info(name);
    if (!info.exists())
        return FileKind::Missing;
    return info.isDir() ? FileKind::Folder : info.isFile() ? FileKind::Regular : FileKind::Other;
}

qint64 fileSize(const QString &name)
{
    return QFileInfo(name).size();
}

QString canonicalFileName(const QString &name)
{
    const QFileInfo info(name);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : folder + u'/' + info.fileName();
}

#else

FileKind fileKind(const QString &name)
{
    struct stat info;
    if (::stat(fileNameBytes(name).constData(), &info) != 0)
        return FileKind::Missing;
    if (S_ISDIR(info.st_mode))
        return FileKind::Folder;
    return S_ISREG(info.st_mode) ? FileKind::Regular : FileKind::Other;
}

qint64 fileSize(const QString &name)
{
    struct stat info;
    return ::stat(fileNameBytes(name).constData(), &info) == 0 ? qint64{info.st_size} : 0;
}

QString canonicalFileName(const QString &name)
{
    const QByteArray bytes = fileNameBytes(name);
    if (const QByteArray resolved = nativepath::canonical(bytes); !resolved.isEmpty())
        return fileNameFromBytes(resolved);
    // Not there (yet): its folder's canonical path and its own name.
    const QByteArray folder = nativepath::canonical(nativepath::folderOf(bytes));
    if (folder.isEmpty())
        return QDir::cleanPath(QDir::current().absoluteFilePath(name));
    return fileNameFromBytes(nativepath::join(folder, nativepath::nameOf(bytes)));
}

namespace nativepath
{

QByteArray canonical(const QByteArray &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : QByteArray();
}

} // namespace nativepath

#endif

} // namespace tavrinel
