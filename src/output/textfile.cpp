#include "textfile.h"

#include "outputfile.h"

#include <QStringEncoder>

namespace tavrinel
{

QByteArray encodeUtf8(QStringView text)
{
    // Stateless: a high surrogate at the very end is replaced, not held back for a partner.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

std::optional<WriteProblem> writeTextFile(const QString &path, QStringView text)
{
    const QByteArray bytes = encodeUtf8(text);
    OutputFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        return file.problem();
    return std::nullopt;
}

} // namespace tavrinel
