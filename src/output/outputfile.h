#pragma once

#include "fdwriter.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace tavrinel
{

// Where a result goes, written all or nothing wherever that is possible.
//
// A regular file, new or existing (also behind a symbolic link), is written into a temporary
// file in the same folder that replaces it only once every byte was written and synced; a
// failed or abandoned write leaves no temporary file and the old file as it was. An existing
// file that may not be written is refused, not replaced.
//
// What cannot be replaced that way is written in place: a device (/dev/null, /dev/full), a pipe,
// and every name of an open descriptor (/dev/stdout, /dev/fd/N, /proc/self/fd/N). The latter
// write through the descriptor itself, at its position, so `-o /dev/stdout` adds to whatever
// the caller's standard output already holds instead of putting a new file in its place.
//
// Every write is checked as it happens; nothing is buffered behind the caller's back.
class OutputFile final : public ByteSink
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile() override;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    bool open();
    bool write(const char *bytes, std::size_t size) override;
    bool write(const QByteArray &bytes)
    {
        return write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    // Makes the written bytes the file's content; false when that or any write failed.
    bool commit();
    // The system's reason for the first failure.
    QString errorString() const;

    struct Platform;

private:
    std::unique_ptr<Platform> d_;
};

} // namespace tavrinel
