#include "utf16.h"

#include <QStringDecoder>
#include <optional>

namespace tavrinel::input
{

namespace
{

std::optional<qsizetype> firstUnpairedSurrogate(QStringView text)
{
    if (text.isValidUtf16())
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return i;
    }
    return std::nullopt;
}

} // namespace

std::variant<QString, Utf16Invalid> decodeUtf16(QByteArrayView bytes, Encoding order)
{
    const qsizetype whole = bytes.size() & ~qsizetype(1);
    QStringDecoder decoder(
        order == Encoding::Utf16LE ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes.first(whole));
    if (decoder.hasError())
        return Utf16Invalid{0};
    if (const auto unit = firstUnpairedSurrogate(text))
        return Utf16Invalid{2 * *unit};
    if (whole != bytes.size())
        return Utf16Invalid{whole};
    return text;
}

} // namespace tavrinel::input
