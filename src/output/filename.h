#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

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

// The byte that the unit at `i` of such a name keeps; nothing where the unit is (part of) a
// character.
std::optional<unsigned char> keptByteAt(QStringView name, qsizetype i);

} // namespace tavrinel
