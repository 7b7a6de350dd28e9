#pragma once

// Resolving the name of a result (Linux) one step at a time, with the rules of shared folders.

#include "descriptor.h"
#include "writeproblem.h"

#include <QByteArray>
#include <QString>
#include <sys/stat.h>
#include <variant>

namespace tavrinel
{

// What the name finally refers to: an entry of a folder held open, so that every later step
// works on that folder and not on a path that someone could change meanwhile.
struct Target {
    enum Kind { Missing, Regular, Other, OwnDescriptor, OthersDescriptor } kind = Missing;
    Descriptor folder;     // O_PATH
    QByteArray folderPath; // absolute, links resolved, for messages
    struct stat folderInfo {
    };
    QByteArray name; // in the folder
    struct stat info {
    };                   // of the entry, when it exists
    int descriptor = -1; // OwnDescriptor

    // The folder as a message shows it.
    QString folderName() const;
};

// Walks the name one component at a time from a folder held open, as the kernel would, but
// following each symbolic link itself: so that the shared-folder rule holds for every link on
// the way and a name of an open descriptor is seen as such before the kernel's magic link would
// lead to the file behind it.
std::variant<Target, WriteProblem> walkTo(const QByteArray &path);

// In a folder where everyone may create entries but only remove their own, as /tmp, anyone can
// put a name in the way for someone else to write through. Like the kernel's
// fs.protected_symlinks and fs.protected_regular (which a container may not have), only what the
// caller or the folder's owner made there is trusted.
bool plantedByAnother(const struct stat &entry, const struct stat &folder);

} // namespace tavrinel
