#include "outputfile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tavrinel
{

// On Windows names are Unicode already and QSaveFile replaces files atomically. It is opened
// unbuffered: with a buffer, a write error met while commit() flushes goes unreported.
struct OutputFile::Platform {
    QString name;
    std::unique_ptr<QFileDevice> device;
    bool atomic = true;
    bool failed = false;
    bool committed = false;
};

OutputFile::OutputFile(const QString &path) : d_(std::make_unique<Platform>())
{
    d_->name = path;
    const QFileInfo info(path);
    d_->atomic = !(info.exists() && !info.isFile() && !info.isDir());
    if (d_->atomic)
        d_->device = std::make_unique<QSaveFile>(path);
    else
        d_->device = std::make_unique<QFile>(path);
}

OutputFile::~OutputFile()
{
    if (!d_->committed && d_->atomic)
        static_cast<QSaveFile &>(*d_->device).cancelWriting();
}

bool OutputFile::open()
{
    d_->failed = !d_->device->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return !d_->failed;
}

bool OutputFile::write(const char *bytes, std::size_t size)
{
    if (d_->failed)
        return false;
    const auto length = static_cast<qint64>(size);
    d_->failed = d_->device->write(bytes, length) != length;
    return !d_->failed;
}

bool OutputFile::commit()
{
    if (d_->committed)
        return true;
    if (d_->failed) {
        if (d_->atomic)
            static_cast<QSaveFile &>(*d_->device).cancelWriting();
        return false;
    }
    bool done = false;
    if (d_->atomic) {
        done = static_cast<QSaveFile &>(*d_->device).commit();
    } else {
        done = d_->device->flush();
        d_->device->close();
        done = done && d_->device->error() == QFileDevice::NoError;
    }
    d_->committed = done;
    d_->failed = !done;
    return done;
}

QString OutputFile::errorString() const
{
    return d_->device->errorString();
}

} // namespace tavrinel
