#pragma once

// What a replacement takes over from the file it replaces (Linux): owner, group, permissions,
// ACL and extended attributes. Each step is false when it cannot be done, so that the caller
// writes the file in place instead of losing any of them.

#include <QByteArray>
#include <sys/stat.h>

namespace tavrinel
{

// Gives the new, still empty `file` the owner, group and extended attributes of `old`, the entry
// `name` of `folder` (which must still be that file), and then mode 0600: the ACL's mask, which
// came with the attributes, would otherwise let a user it names open the file while it is
// written.
bool takeOverMetadata(int file, int folder, const QByteArray &name, const struct stat &old);

// The permissions a file created with mode 0666 gets in the folder: the umask's, or where the
// folder has a default ACL, that ACL less the execute bits.
bool giveNewFilePermissions(int file, int folder);

} // namespace tavrinel
