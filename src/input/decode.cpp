#include "decode.h"

#include "checks/utf8check.h"
#include "gb18030.h"
#include "nulbytes.h"
#include "utf16.h"

#include <QStringDecoder>

namespace tavrinel::input
{

namespace
{

using Result = std::variant<DecodedText, DecodeError>;

struct KnownMark {
    QByteArrayView bytes;
    std::optional<Encoding> encoding;
};

// UTF-32LE before UTF-16LE: its mark starts with the UTF-16LE one.
const KnownMark knownMarks[] = {
    {QByteArrayView("\xFF\xFE\x00\x00", 4), std::nullopt},
    {QByteArrayView("\x00\x00\xFE\xFF", 4), std::nullopt},
    {QByteArrayView("\xEF\xBB\xBF", 3), Encoding::Utf8},
    {QByteArrayView("\xFF\xFE", 2), Encoding::Utf16LE},
    {QByteArrayView("\xFE\xFF", 2), Encoding::Utf16BE},
};

qsizetype utf8InvalidAt(QByteArrayView bytes)
{
    const auto offset = firstInvalidUtf8({bytes.data(), static_cast<std::size_t>(bytes.size())});
    return static_cast<qsizetype>(offset.value_or(0));
}

DecodeError invalid(Encoding encoding, qsizetype offset)
{
    return {DecodeError::Kind::Invalid, encoding, offset};
}

// The text of an unmarked or marked UTF-8 body; a U+FEFF after the mark is text.
Result decodeUtf8(QByteArrayView bytes, qsizetype start)
{
    const QByteArrayView body = bytes.sliced(start);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return invalid(Encoding::Utf8, start + utf8InvalidAt(body));
    return DecodedText{std::move(text), Encoding::Utf8, start > 0};
}

Result decodeUtf16Text(QByteArrayView bytes, qsizetype start, Encoding order)
{
    auto decoded = decodeUtf16(bytes.sliced(start), order);
    if (const auto *bad = std::get_if<Utf16Invalid>(&decoded))
        return invalid(order, start + bad->offset);
    return DecodedText{std::move(std::get<QString>(decoded)), order, start > 0};
}

Result decodeGb18030Text(QByteArrayView bytes)
{
    auto decoded = decodeGb18030(bytes);
    if (auto *text = std::get_if<QString>(&decoded))
        return DecodedText{std::move(*text), Encoding::Gb18030, false};
    if (const auto *bad = std::get_if<Gb18030Invalid>(&decoded))
        return invalid(Encoding::Gb18030, bad->offset);
    return DecodeError{DecodeError::Kind::Unavailable, Encoding::Gb18030};
}

// `start` is the length of the mark that chose the encoding, if any.
Result decodeIn(QByteArrayView bytes, Encoding encoding, qsizetype start)
{
    switch (encoding) {
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        return decodeUtf16Text(bytes, start, encoding);
    case Encoding::Gb18030:
        return decodeGb18030Text(bytes);
    case Encoding::Utf8:
    case Encoding::Auto:
        break;
    }
    return decodeUtf8(bytes, start);
}

Result decodeAuto(QByteArrayView bytes)
{
    Result utf8 = decodeUtf8(bytes, 0);
    const auto *notUtf8 = std::get_if<DecodeError>(&utf8);
    if (!notUtf8)
        return utf8;
    Result gb18030 = decodeGb18030Text(bytes);
    const auto *notGb18030 = std::get_if<DecodeError>(&gb18030);
    if (!notGb18030)
        return gb18030;
    if (notGb18030->kind == DecodeError::Kind::Unavailable)
        return utf8;
    DecodeError neither = invalid(Encoding::Auto, notUtf8->offset);
    neither.gb18030Offset = notGb18030->offset;
    return neither;
}

} // namespace

std::optional<ByteOrderMark> byteOrderMark(QByteArrayView head)
{
    for (const KnownMark &mark : knownMarks) {
        if (head.startsWith(mark.bytes))
            return ByteOrderMark{mark.encoding, mark.bytes.size()};
    }
    return std::nullopt;
}

std::variant<DecodedText, DecodeError> decodeText(QByteArrayView bytes, Encoding requested)
{
    if (const auto mark = byteOrderMark(bytes)) {
        if (!mark->encoding)
            return DecodeError{DecodeError::Kind::Utf32Mark};
        return decodeIn(bytes, *mark->encoding, mark->length);
    }
    if (requested == Encoding::Auto) {
        if (auto refusal = nulRefusal(bytes))
            return *refusal;
        return decodeAuto(bytes);
    }
    Result result = decodeIn(bytes, requested, 0);
    if (auto *error = std::get_if<DecodeError>(&result); error && requested == Encoding::Utf8)
        error->readsAsGb18030 = readsAsGb18030(bytes);
    return result;
}

} // namespace tavrinel::input
