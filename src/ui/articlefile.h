#pragma once

#include <QString>
#include <variant>

namespace tavrinel
{

// Why a file could not be taken as the article, in the window's words: "文件读取失败", the file
// and the reason.
struct ArticleFileFailure {
    QString message;
};

// The text of a file dropped on the article box, read as a byte order mark says, else as UTF-8,
// else as GB18030.
std::variant<QString, ArticleFileFailure> readArticleFile(const QString &path);

} // namespace tavrinel
