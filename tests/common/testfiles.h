#pragma once

// Small file helpers the test programs share.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace testfiles
{

// The file's bytes; "<missing>" when it cannot be read, so a comparison shows what went wrong.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

#ifndef Q_OS_WIN
// Whether the path is (still) a device node and not a file put in its place.
inline bool isCharacterDevice(const char *path)
{
    struct stat info;
    return lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}
#endif

} // namespace testfiles
