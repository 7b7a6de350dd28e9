#include "outputfile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <io.h>
#include <windows.h>

namespace tavrinel
{

// On Windows names are Unicode already and QSaveFile replaces files atomically. It is opened
// unbuffered: with a buffer, a write error met while commit() flushes goes unreported. There are
// no sticky folders, hard-linked text files are rare and ACLs live with the folder, so the rules
// of the Linux writer about those do not apply; a result that must be a regular file still is.
struct OutputFile::Platform {
    QString name;
    Options options;
    std::unique_ptr<QFileDevice> device;
    bool atomic = true;
    bool failed = false;
    bool committed = false;
    FileIdentity refused;
    WriteProblem refusal; // a refusal of ours, not the device's
};

namespace
{

FileIdentity identityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {};
    return {info.dwVolumeSerialNumber, quint64{info.nFileIndexHigh} << 32 | info.nFileIndexLow,
            true};
}

// The file a name leads to, asked without opening it for reading or writing, so that no sharing
// mode of another opener stands in the way.
FileIdentity identityOfName(const QString &name)
{
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(name.utf16()), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    const FileIdentity identity = identityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

} // namespace

FileIdentity fileIdentityOf(int fd)
{
    return identityOfHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}

OutputFile::OutputFile(const QString &path, const Options &options)
    : d_(std::make_unique<Platform>())
{
    d_->name = path;
    d_->options = options;
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

void OutputFile::refuseFile(const FileIdentity &file)
{
    d_->refused = file;
}

bool OutputFile::open()
{
    if (!d_->atomic && d_->options.regularFileOnly)
        d_->refusal = {WriteProblem::Kind::NotRegularFile, 0, {}};
    else if (d_->refused.known && identityOfName(d_->name).sameAs(d_->refused))
        d_->refusal = {WriteProblem::Kind::IsInput, 0, {}};
    if (d_->refusal.kind != WriteProblem::Kind::None) {
        d_->failed = true;
        return false;
    }
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

WriteProblem OutputFile::problem() const
{
    if (d_->refusal.kind != WriteProblem::Kind::None)
        return d_->refusal;
    if (!d_->failed)
        return {};
    return {WriteProblem::Kind::System, 0, {}, d_->device->errorString()};
}

QString OutputFile::errorString() const
{
    if (d_->refusal.kind != WriteProblem::Kind::None)
        return describeProblem(d_->refusal);
    return d_->device->errorString();
}

} // namespace tavrinel
