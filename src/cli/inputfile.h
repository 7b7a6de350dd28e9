#pragma once

#include "output/outputfile.h"

#include <QString>

namespace tavrinel::cli
{

// "standard input" for an empty path, otherwise the file's name, ready for a message.
QString inputDisplayName(const QString &path);

// An input read with plain reads from its descriptor: no memory map, so a file cut short while
// it is read ends early instead of faulting, and standard input is read from where the caller
// left it. Names are taken byte for byte (see output/filename.h).
class InputFile
{
public:
    // An empty path stands for standard input.
    explicit InputFile(const QString &path);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    bool open();
    // Up to `capacity` bytes; 0 at the end; -1 when reading failed (errorString() says why).
    qint64 read(char *buffer, qint64 capacity);
    // Once the end was read: whether a regular file still has the size and time it had when it
    // was opened, and all of it was read. Otherwise errorString() says it changed.
    bool unchangedSinceOpen();
    // At any point: whether a regular file's size or time differ from those it had when it was
    // opened (errorString() then says it changed). A file cut short while it is read ends in
    // the middle of a character for its reader, which is no fault of the file's.
    bool changedSinceOpen();
    // The file that was opened, so that writing into it can be refused.
    FileIdentity identity() const { return identity_; }
    // The bytes left to read when it was opened, for sizing a buffer; 0 when unknown.
    qint64 expectedSize() const { return expected_; }
    // A regular file can be read twice: rewind() goes back to where the first reading began.
    // A file that reports no size (those of /proc and /sys) is made as it is read: it is read
    // once to its end, as a pipe is.
    bool isRegularFile() const { return regular_; }
    bool rewind();

    QString errorString() const { return error_; }
    // "standard input" or the file's name, ready for a message.
    QString displayName() const;

private:
    bool fail(int errorNumber);

    QString path_;
    int fd_ = -1;
    bool regular_ = false;
    qint64 expected_ = 0;
    qint64 start_ = 0; // the offset reading began at
    qint64 read_ = 0;
    qint64 modified_ = 0; // nanoseconds
    qint64 size_ = 0;
    FileIdentity identity_;
    QString error_;
};

} // namespace tavrinel::cli
