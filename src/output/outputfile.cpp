#include "outputfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tavrinel
{

namespace
{

bool isSpecialFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

} // namespace

OutputFile::OutputFile(const QString &path) : atomic_(!isSpecialFile(path))
{
    if (atomic_)
        device_ = std::make_unique<QSaveFile>(path);
    else
        device_ = std::make_unique<QFile>(path);
}

bool OutputFile::open()
{
    const QIODevice::OpenMode mode =
        atomic_ ? QIODevice::WriteOnly : QIODevice::WriteOnly | QIODevice::Unbuffered;
    return device_->open(mode);
}

bool OutputFile::commit()
{
    if (atomic_)
        return static_cast<QSaveFile &>(*device_).commit();
    const bool flushed = device_->flush();
    device_->close();
    return flushed && device_->error() == QFileDevice::NoError;
}

} // namespace tavrinel
