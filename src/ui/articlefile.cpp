#include "articlefile.h"

#include "input/decode.h"
#include "reasons.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

using namespace Qt::StringLiterals;
using namespace tavrinel::input;

namespace tavrinel
{

namespace
{

// The window takes about 1.5 s for 50 MB with the busy cursor showing; a larger file would hold it
// much longer, and would need many times its size in memory. The command line has no such limit.
constexpr qint64 maxFileBytes = qint64(256) << 20;

ArticleFileFailure failure(const QString &path, const QString &reason)
{
    return {u"文件读取失败：%1\n%2"_s.arg(QDir::toNativeSeparators(path), reason)};
}

} // namespace

std::variant<QString, ArticleFileFailure> readArticleFile(const QString &path)
{
    // Only regular files: a pipe or a device could block the window for good.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return failure(path, u"不是普通文件"_s);
    if (info.size() > maxFileBytes)
        return failure(path, u"文件太大（超过 256 MB），请用 tavrinel-cli 处理"_s);
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failure(path, file.errorString());
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return failure(path, file.errorString());
        auto decoded = decodeText(bytes, Encoding::Auto);
        if (const auto *error = std::get_if<DecodeError>(&decoded))
            return failure(path, reasonText(*error));
        return std::move(std::get<DecodedText>(decoded).text);
    } catch (const std::bad_alloc &) {
        return failure(path, u"内存不足"_s);
    }
}

} // namespace tavrinel
