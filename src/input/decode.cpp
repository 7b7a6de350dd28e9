#include "decode.h"

#include "checks/utf8check.h"
#include "gb18030.h"
#include "segment/breakscan.h"

#include <QStringDecoder>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;

namespace tavrinel::input
{

namespace
{

using Result = std::variant<DecodedText, DecodeError>;

constexpr auto strictFlags =
    QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;

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
    QStringDecoder decoder(QStringDecoder::Utf8, strictFlags);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return invalid(Encoding::Utf8, start + utf8InvalidAt(body));
    return DecodedText{std::move(text), Encoding::Utf8, start > 0};
}

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

// Qt's UTF-16 decoder lets unpaired surrogates through and silently replaces an odd last byte;
// both are errors here.
Result decodeUtf16(QByteArrayView bytes, qsizetype start, Encoding order)
{
    const QByteArrayView body = bytes.sliced(start);
    const qsizetype whole = body.size() & ~qsizetype(1);
    QStringDecoder decoder(order == Encoding::Utf16LE ? QStringDecoder::Utf16LE
                                                      : QStringDecoder::Utf16BE,
                           strictFlags);
    QString text = decoder.decode(body.first(whole));
    if (decoder.hasError())
        return invalid(order, start);
    if (const auto unit = firstUnpairedSurrogate(text))
        return invalid(order, start + 2 * *unit);
    if (whole != body.size())
        return invalid(order, start + whole);
    return DecodedText{std::move(text), order, start > 0};
}

// Whether the bytes are UTF-16 in that byte order. The start of a longer input may end inside a
// unit or a surrogate pair.
bool decodesAsUtf16(QByteArrayView bytes, Encoding order, bool whole)
{
    if (!whole) {
        bytes.truncate(bytes.size() & ~qsizetype(1));
        const qsizetype high = order == Encoding::Utf16LE ? bytes.size() - 1 : bytes.size() - 2;
        if (high >= 0 && (static_cast<unsigned char>(bytes[high]) & 0xFC) == 0xD8)
            bytes.chop(2);
    }
    return std::holds_alternative<DecodedText>(decodeUtf16(bytes, 0, order));
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
        return decodeUtf16(bytes, start, encoding);
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

namespace
{

// Whether the bytes are the start of a GB18030 sequence that the end of the bytes cut off: a lead
// byte alone, or the first two or three bytes of a four-byte sequence.
bool isCutOffGb18030(QByteArrayView rest)
{
    const auto at = [rest](qsizetype i) {
        return static_cast<unsigned char>(rest[i]);
    };
    const auto isLead = [](unsigned char b) {
        return b >= 0x81 && b <= 0xFE;
    };
    const auto isDigit = [](unsigned char b) {
        return b >= 0x30 && b <= 0x39;
    };
    switch (rest.size()) {
    case 1:
        return isLead(at(0));
    case 2:
        return isLead(at(0)) && isDigit(at(1));
    case 3:
        return isLead(at(0)) && isDigit(at(1)) && isLead(at(2));
    default:
        return false;
    }
}

} // namespace

void NulCounts::add(QByteArrayView piece)
{
    const auto *data = reinterpret_cast<const unsigned char *>(piece.data());
    const auto size = static_cast<std::size_t>(piece.size());
    qint64 atEven = 0;
    qint64 atOdd = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Text has no NUL: 64 bytes are passed over with a few vector instructions. A file of zeros
    // has nothing else and is counted sixteen bytes at a time: both pass at memory speed.
    const __m128i zero = _mm_setzero_si128();
    const auto load = [data](std::size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
    };
    for (; i + 64 <= size; i += 64) {
        const __m128i a = load(i), b = load(i + 16), c = load(i + 32), d = load(i + 48);
        const __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) == 0)
            continue;
        for (const __m128i block : {a, b, c, d}) {
            const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
            atEven += bitCount16(mask & 0x5555U);
            atOdd += bitCount16(mask & 0xAAAAU);
        }
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == 0)
            ++(i % 2 == 0 ? atEven : atOdd);
    }
    // An offset in the piece is even or odd in the stream as the bytes before the piece are.
    const bool shifted = bytes % 2 != 0;
    even += shifted ? atOdd : atEven;
    odd += shifted ? atEven : atOdd;
    bytes += piece.size();
}

// UTF-8 and GB18030 text has a NUL byte only for a NUL character, which text files do not hold;
// in UTF-16 every ASCII character has one, at odd offsets for little-endian. A Chinese article in
// UTF-16 still has ASCII line breaks, spaces or digits. Fewer than 1 unit in 1024 with a NUL
// lets a stray NUL or two in a long text through as text; more is UTF-16 or no text at all.
// UTF-16 is named only when it is clear: a few units at least with a NUL in the same half, at
// least twice as many as in the other half (which may hold some: U+4E00 一 is 00 4E in
// little-endian), and the bytes decode in that byte order. A short Chinese text with one such
// character, binary data (NULs in both halves alike, unpaired surrogates) and a file of zeros
// are not text the tool reads, whatever their NULs look like.
std::optional<DecodeError> nulRefusal(const NulCounts &counts, QByteArrayView sample,
                                      bool sampleIsWhole)
{
    constexpr qint64 fewestUtf16Units = 4;
    const bool littleEndian = counts.odd > counts.even;
    const qint64 most = littleEndian ? counts.odd : counts.even;
    const qint64 fewest = littleEndian ? counts.even : counts.odd;
    if (most + fewest == 0 || most < std::max<qint64>(1, counts.bytes / 2 / 1024))
        return std::nullopt;
    const Encoding order = littleEndian ? Encoding::Utf16LE : Encoding::Utf16BE;
    if (most >= fewestUtf16Units && most >= 2 * fewest &&
        decodesAsUtf16(sample, order, sampleIsWhole))
        return DecodeError{DecodeError::Kind::Utf16WithoutMark, order};
    return DecodeError{DecodeError::Kind::NotText};
}

std::optional<DecodeError> nulRefusal(QByteArrayView bytes)
{
    NulCounts counts;
    counts.add(bytes);
    return nulRefusal(counts, bytes, true);
}

bool readsAsGb18030(QByteArrayView bytes, bool complete)
{
    const auto decoded = decodeGb18030(bytes);
    if (std::holds_alternative<QString>(decoded))
        return true;
    const auto *bad = std::get_if<Gb18030Invalid>(&decoded);
    return !complete && bad && isCutOffGb18030(bytes.sliced(bad->offset));
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

QString describeError(const DecodeError &error)
{
    switch (error.kind) {
    case DecodeError::Kind::Utf32Mark:
        return u"UTF-32 byte order mark: UTF-32 text is not read; convert it to UTF-8"_s;
    case DecodeError::Kind::Utf16WithoutMark:
        return u"looks like %1 without a byte order mark: use --encoding %2"_s.arg(
            displayName(error.encoding), optionName(error.encoding));
    case DecodeError::Kind::NotText:
        return u"not text in any encoding this tool reads (it holds NUL bytes)"_s;
    case DecodeError::Kind::Unavailable:
        return u"this build cannot read %1"_s.arg(displayName(error.encoding));
    case DecodeError::Kind::Invalid:
        break;
    }
    if (error.encoding == Encoding::Auto)
        return u"neither UTF-8 (invalid at byte offset %1) nor GB18030 (invalid at byte offset %2)"_s
            .arg(error.offset)
            .arg(error.gb18030Offset);
    if (error.readsAsGb18030)
        return u"not UTF-8 (invalid at byte offset %1); it reads as GB18030: use --encoding "
               u"gb18030"_s.arg(error.offset);
    return u"invalid %1 at byte offset %2"_s.arg(displayName(error.encoding)).arg(error.offset);
}

} // namespace tavrinel::input
