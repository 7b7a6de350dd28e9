#pragma once

#include <QString>
#include <QStringView>
#include <optional>

class QIODevice;

namespace tavrinel
{

// Writes the text as UTF-8 without a byte order mark. Returns false when the device took less
// than all of it.
bool writeUtf8(QIODevice &device, QStringView text);

// Replaces the file at `path` with exactly `text` in UTF-8, all or nothing: a failed save leaves
// no partial file and an existing file as it was. Returns nothing on success, otherwise the
// message for the user: "文件保存失败", the file and the system's reason.
std::optional<QString> saveTextFile(const QString &path, QStringView text);

} // namespace tavrinel
