#pragma once

#include "fdwriter.h"
#include "writeproblem.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace tavrinel
{

class FolderSyncs;

// One file as the system tells files apart, whatever name leads to it.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool known = false;

    bool sameAs(const FileIdentity &other) const
    {
        return known && other.known && device == other.device && inode == other.inode;
    }
};

// The regular file open on a descriptor (device and inode; on Windows the volume's serial
// number and the file's index); unknown for anything else.
FileIdentity fileIdentityOf(int fd);

// Where a result goes, written all or nothing wherever that is possible.
//
// A regular file, new or existing (also behind a symbolic link), is written into a temporary
// file in the same folder, created readable by its owner only, that replaces it once every byte
// was written and synced and it has the old file's owner, group, permissions, ACL and extended
// attributes. A failed or abandoned write leaves no temporary file and the old file as it was.
// An existing file that may not be written is refused, not replaced.
//
// Where replacing would lose something — the file has other hard links, or its owner, group or
// attributes cannot be given to a new file, or the folder takes no new files — the file is
// written in place instead: the result is kept in memory until commit(), the space is reserved
// before the first byte changes, and the file is then overwritten, cut to length and synced.
//
// In a folder that everyone may write to and that has the sticky bit (/tmp), a link or a file
// that another user put there is neither followed nor written, as the kernel's protected_symlinks
// and protected_regular rules have it, also where those are switched off.
//
// What cannot be replaced is written in place as it comes: a device (/dev/null, /dev/full), a
// pipe, and every name of an open descriptor (/dev/stdout, /dev/fd/N, /proc/self/fd/N). The latter
// write through the descriptor itself, at its position, so `-o /dev/stdout` adds to whatever
// the caller's standard output already holds instead of putting a new file in its place.
//
// Every write to the system is checked as it happens.
class OutputFile final : public ByteSink
{
public:
    struct Options {
        // Anything but a regular file at the name is refused rather than written to (a batch's
        // results, which must not wait on a pipe or write into a device).
        bool regularFileOnly = false;
        // When set, the folder's new entry is made durable by the caller, once for many files.
        FolderSyncs *folderSyncs = nullptr;
    };

    explicit OutputFile(const QString &path) : OutputFile(path, Options()) {}
    OutputFile(const QString &path, const Options &options);
    ~OutputFile() override;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Refuses to write when the name leads to this file (the input being read).
    void refuseFile(const FileIdentity &file);

    bool open();
    bool write(const char *bytes, std::size_t size) override;
    bool write(const QByteArray &bytes)
    {
        return write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    // Makes the written bytes the file's content; false when that or any write failed.
    bool commit();

    // The first failure.
    WriteProblem problem() const;
    // The same in English.
    QString errorString() const;

    struct Platform;

private:
    std::unique_ptr<Platform> d_;
};

} // namespace tavrinel
