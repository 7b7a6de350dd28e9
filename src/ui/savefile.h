#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace tavrinel
{

// Saves the paragraphs as the file at `path`, in UTF-8 and all or nothing (writeTextFile()).
// Returns nothing on success, otherwise the message for the user: "文件保存失败", the file and
// the reason.
std::optional<QString> saveTextFile(const QString &path, QStringView text);

} // namespace tavrinel
