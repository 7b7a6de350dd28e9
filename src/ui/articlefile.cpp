#include "articlefile.h"

#include "input/decode.h"

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

QString reasonFor(const DecodeError &error)
{
    switch (error.kind) {
    case DecodeError::Kind::Utf32Mark:
        return u"不支持 UTF-32 编码的文件，请另存为 UTF-8"_s;
    case DecodeError::Kind::Utf16WithoutMark:
        return u"文件像是没有字节顺序标记（BOM）的 %1 文本，请另存为 UTF-8 或带 BOM 的 UTF-16"_s
            .arg(displayName(error.encoding));
    case DecodeError::Kind::NotText:
        return u"文件含有 NUL 字节，不是本程序能读取的任何编码的文本"_s;
    case DecodeError::Kind::Unavailable:
        return u"本程序无法读取 %1 编码"_s.arg(displayName(error.encoding));
    case DecodeError::Kind::Invalid:
        break;
    }
    if (error.encoding == Encoding::Auto)
        return u"文件既不是 UTF-8 也不是 GB18030 编码的文本（按 UTF-8 读，字节偏移 %1 处无效；"
               u"按 GB18030 读，字节偏移 %2 处无效）"_s.arg(error.offset)
                   .arg(error.gb18030Offset);
    return u"文件不是有效的 %1 文本：字节偏移 %2 处无效"_s.arg(displayName(error.encoding))
        .arg(error.offset);
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
            return failure(path, reasonFor(*error));
        return std::move(std::get<DecodedText>(decoded).text);
    } catch (const std::bad_alloc &) {
        return failure(path, u"内存不足"_s);
    }
}

} // namespace tavrinel
