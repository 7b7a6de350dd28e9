#include "filename.h"

#include "checks/utf8check.h"

namespace tavrinel
{

namespace
{

constexpr char16_t keptByteBase = 0xDC00;

} // namespace

std::optional<unsigned char> keptByteAt(QStringView name, qsizetype i)
{
    const char16_t unit = name[i].unicode();
    if (unit < 0xDC80 || unit > 0xDCFF || (i > 0 && name[i - 1].isHighSurrogate()))
        return std::nullopt;
    return static_cast<unsigned char>(unit - keptByteBase);
}

QString fileNameFromBytes(QByteArrayView bytes)
{
    QString name;
    std::string_view rest(bytes.data(), static_cast<std::size_t>(bytes.size()));
    while (!rest.empty()) {
        const std::size_t valid = firstInvalidUtf8(rest).value_or(rest.size());
        name += QString::fromUtf8(rest.data(), static_cast<qsizetype>(valid));
        if (valid == rest.size())
            break;
        name += QChar(keptByteBase + static_cast<unsigned char>(rest[valid]));
        rest.remove_prefix(valid + 1);
    }
    return name;
}

QByteArray fileNameBytes(const QString &name)
{
    QByteArray bytes;
    const QStringView view(name);
    qsizetype plainStart = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const std::optional<unsigned char> kept = keptByteAt(view, i);
        if (!kept)
            continue;
        bytes += view.sliced(plainStart, i - plainStart).toUtf8();
        bytes += static_cast<char>(*kept);
        plainStart = i + 1;
    }
    bytes += view.sliced(plainStart).toUtf8();
    return bytes;
}

} // namespace tavrinel
