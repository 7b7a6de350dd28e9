#include "filename.h"

#include "checks/utf8check.h"
#include "nativepath.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace tavrinel
{

namespace
{

constexpr char16_t escapedByteBase = 0xDC00;

bool isEscapedByte(QStringView name, qsizetype i)
{
    const char16_t unit = name[i].unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !name[i - 1].isHighSurrogate());
}

QString hexByte(unsigned value)
{
    return u"\\x"_s + QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes)
{
    QString name;
    std::string_view rest(bytes.data(), static_cast<std::size_t>(bytes.size()));
    while (!rest.empty()) {
        const std::size_t valid = firstInvalidUtf8(rest).value_or(rest.size());
        name += QString::fromUtf8(rest.data(), static_cast<qsizetype>(valid));
        if (valid == rest.size())
            break;
        name += QChar(escapedByteBase + static_cast<unsigned char>(rest[valid]));
        rest.remove_prefix(valid + 1);
    }
    return name;
}

QByteArray fileNameBytes(const QString &name)
{
    QByteArray bytes;
    const QStringView view(name);
    qsizetype plainStart = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        if (!isEscapedByte(view, i))
            continue;
        bytes += view.sliced(plainStart, i - plainStart).toUtf8();
        bytes += static_cast<char>(view[i].unicode() - escapedByteBase);
        plainStart = i + 1;
    }
    bytes += view.sliced(plainStart).toUtf8();
    return bytes;
}

QString displayFileName(const QString &name)
{
    const QString native = QDir::toNativeSeparators(name);
    QString shown;
    shown.reserve(native.size());
    for (qsizetype i = 0; i < native.size(); ++i) {
        const char16_t unit = native[i].unicode();
        if (isEscapedByte(native, i))
            shown += hexByte(unit - escapedByteBase);
        else if (unit < 0x20 || unit == 0x7F)
            shown += hexByte(unit);
        else if (unit >= 0x80 && unit <= 0x9F) // C1 controls, U+009B a terminal's CSI: as UTF-8
            shown += hexByte(0xC2) + hexByte(unit);
        else
            shown += native[i];
    }
    return shown;
}

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

QString systemErrorText(int errorNumber)
{
#if defined(Q_OS_WIN)
    // There qt_error_string() reads the number as a Windows error code, not an errno value.
    return QString::fromWCharArray(::_wcserror(errorNumber));
#else
    return qt_error_string(errorNumber);
#endif
}

} // namespace tavrinel
