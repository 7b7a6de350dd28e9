#pragma once

#include "writeproblem.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace tavrinel
{

// The text in UTF-8 without a byte order mark. A lone surrogate, which no character encoding
// can hold, becomes U+FFFD, as in the command line's output.
QByteArray encodeUtf8(QStringView text);

// Replaces the file at `path` with exactly `text` in UTF-8, written in one go and all or nothing:
// a failed write leaves no partial file and an existing file as it was (a device such as
// /dev/null is written in place). Returns nothing on success, otherwise why it failed.
std::optional<WriteProblem> writeTextFile(const QString &path, QStringView text);

} // namespace tavrinel
