#pragma once

// The paragraph text as the UTF-16 core makes it from UTF-8 bytes: decoded by Qt (a leading byte
// order mark dropped), trimmed, cut, wrapped and escaped, and encoded back. The UTF-8 engine must
// give exactly these bytes; nothing for input Qt does not take as UTF-8.

#include "generate/escape.h"
#include "generate/run.h"
#include "generate/sizetext.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <optional>
#include <string>

namespace testutf16
{

inline std::optional<std::u16string> decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text.toStdU16String();
}

inline std::optional<QByteArray> paragraphText(const QByteArray &bytes,
                                               const tavrinel::GenerationSettings &settings,
                                               bool escapeHtml)
{
    const auto text = decode(bytes);
    if (!text)
        return std::nullopt;
    std::u16string out;
    const auto append = [&out](std::u16string_view piece) {
        out.append(piece);
    };
    tavrinel::forEachParagraph(tavrinel::trimSpaces(*text), settings,
                               [&](std::u16string_view paragraph) {
                                   out.append(tavrinel::paragraphOpen);
                                   if (escapeHtml)
                                       tavrinel::appendEscaped(paragraph, append);
                                   else
                                       out.append(paragraph);
                                   out.append(tavrinel::paragraphClose);
                               });
    return QString::fromStdU16String(out).toUtf8();
}

} // namespace testutf16
