#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tavrinel
{

// File names as the system has them. On Linux a name is a string of bytes that need not be
// UTF-8 (names unpacked from archives made on Chinese Windows are often GBK). Such names travel
// through the program as QString with every byte that is not part of valid UTF-8 kept as a lone
// surrogate U+DC80..U+DCFF, so that the exact bytes can be given back to the system. Valid UTF-8
// never decodes to a lone surrogate, so the mapping is lossless both ways.

// The bytes of a name (a command-line argument, a directory entry) as such a QString.
QString fileNameFromBytes(QByteArrayView bytes);

// The bytes to hand to the system for a name made by fileNameFromBytes() or typed by the user.
QByteArray fileNameBytes(const QString &name);

// The name for a message: native separators, and every byte that is not valid UTF-8, and every
// control character (C0, DEL and C1, the latter as its two UTF-8 bytes), written as \xHH so that
// it can neither garble nor drive the terminal.
QString displayFileName(const QString &name);

enum class FileKind { Missing, Regular, Folder, Other };

// What the name refers to, following symbolic links.
FileKind fileKind(const QString &name);

// Size in bytes of what the name refers to; 0 when it cannot be told.
qint64 fileSize(const QString &name);

// One spelling per file, whatever path, symbolic link or "." leads to it, also for a file that
// does not exist yet (its folder's canonical path and its own name).
QString canonicalFileName(const QString &name);

// The text of the system's error number, in the user's language where the system has it.
QString systemErrorText(int errorNumber);

} // namespace tavrinel
