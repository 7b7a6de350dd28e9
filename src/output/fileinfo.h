#pragma once

#include <QString>

namespace tavrinel
{

// What a name (as fileNameFromBytes() makes them) leads to, asked of the system by its bytes.

enum class FileKind { Missing, Regular, Folder, Other };

// What the name refers to, following symbolic links.
FileKind fileKind(const QString &name);

// Size in bytes of what the name refers to; 0 when it cannot be told.
qint64 fileSize(const QString &name);

// One spelling per file, whatever path, symbolic link or "." leads to it, also for a file that
// does not exist yet (its folder's canonical path and its own name).
QString canonicalFileName(const QString &name);

} // namespace tavrinel
