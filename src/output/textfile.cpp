#include "textfile.h"

#include "filename.h"
#include "outputfile.h"

#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace tavrinel
{

namespace
{

QString failureText(const QString &path, const QString &reason)
{
    return u"文件保存失败：%1\n%2"_s.arg(displayFileName(path), reason);
}

} // namespace

QByteArray encodeUtf8(QStringView text)
{
    // Stateless: a high surrogate at the very end is replaced, not held back for a partner.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

std::optional<QString> saveTextFile(const QString &path, QStringView text)
{
    const QByteArray bytes = encodeUtf8(text);
    OutputFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        return failureText(path, file.errorString());
    return std::nullopt;
}

} // namespace tavrinel
