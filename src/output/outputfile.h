#pragma once

#include <QFileDevice>
#include <QString>
#include <memory>

namespace tavrinel
{

// Where the result goes. A regular file (new or existing) is written atomically through a
// temporary file that replaces it only when everything was written; a device, pipe or other
// special file cannot be replaced that way and is written in place.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);

    bool open();
    QFileDevice &device() { return *device_; }
    // Makes the written text the file's content; false when that failed.
    bool commit();
    QString errorString() const { return device_->errorString(); }

private:
    std::unique_ptr<QFileDevice> device_;
    bool atomic_ = true;
};

} // namespace tavrinel
