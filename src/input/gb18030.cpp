#include "gb18030.h"

#include <QStringDecoder>
#include <algorithm>
#include <optional>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace tavrinel::input
{

namespace
{

// Bytes below 0x30 never occur inside a multi-byte sequence, so the converter holds nothing back
// after one of them: decoding can start afresh right after it.
qsizetype restartPointBefore(QByteArrayView bytes, qsizetype at)
{
    for (qsizetype i = at; i > 0; --i) {
        if (static_cast<unsigned char>(bytes[i - 1]) < 0x30)
            return i;
    }
    return 0;
}

#if defined(Q_OS_WIN)

// Qt for Windows is built without ICU; Windows converts GB18030 itself, as code page 54936.
constexpr UINT gb18030CodePage = 54936;

// The UTF-16 text of the bytes, or nothing when any of them is not valid GB18030.
std::optional<QString> convert(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const auto size = static_cast<int>(bytes.size());
    const int units =
        MultiByteToWideChar(gb18030CodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (units <= 0)
        return std::nullopt;
    QString text(units, Qt::Uninitialized);
    MultiByteToWideChar(gb18030CodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                        reinterpret_cast<wchar_t *>(text.data()), units);
    return text;
}

// The length of the sequence a byte starts, by the shape of GB18030: one byte below 0x80, two
// for a lead 0x81..0xFE and a second byte 0x40..0xFE, four when the second byte is a digit.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x80 || at + 1 >= bytes.size())
        return 1;
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return second >= 0x30 && second <= 0x39 ? 4 : 2;
}

// Where the first bad sequence starts: the block that fails, then its sequences one by one from a
// clean restart point before it.
qsizetype firstInvalidOffset(QByteArrayView bytes)
{
    constexpr qsizetype block = 64 * 1024;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = std::min(start + block, bytes.size());
        const qsizetype cut = end == bytes.size() ? end : restartPointBefore(bytes, end);
        const qsizetype next = cut > start ? cut : end;
        if (!convert(bytes.sliced(start, next - start)))
            break;
        start = next;
    }
    for (qsizetype at = start; at < bytes.size();) {
        const qsizetype length = std::min(sequenceLength(bytes, at), bytes.size() - at);
        if (!convert(bytes.sliced(at, length)))
            return at;
        at += length;
    }
    return bytes.size();
}

} // namespace

std::variant<QString, Gb18030Invalid, Gb18030Unavailable> decodeGb18030(QByteArrayView bytes)
{
    if (!IsValidCodePage(gb18030CodePage))
        return Gb18030Unavailable{};
    if (auto text = convert(bytes))
        return std::move(*text);
    return Gb18030Invalid{firstInvalidOffset(bytes)};
}

#else

// Qt converts GB18030 through ICU.
constexpr char converterName[] = "GB18030";

// Where the first bad sequence starts. The converter only says that something went wrong, so
// blocks find where, and from a clean restart point before that block the bytes go in one at a
// time: the bad sequence starts after the last byte that completed a character. A sequence cut
// off by the end is found the same way.
qsizetype firstInvalidOffset(QByteArrayView bytes)
{
    constexpr qsizetype block = 64 * 1024;
    qsizetype failingBlock = 0;
    QStringDecoder blocks(converterName);
    QString scratch(blocks.requiredSpace(block), Qt::Uninitialized);
    for (; failingBlock < bytes.size(); failingBlock += block) {
        blocks.appendToBuffer(
            scratch.data(),
            bytes.sliced(failingBlock, std::min(block, bytes.size() - failingBlock)));
        if (blocks.hasError())
            break;
    }
    QStringDecoder bytewise(converterName);
    qsizetype sequenceStart = restartPointBefore(bytes, std::min(failingBlock, bytes.size()));
    for (qsizetype i = sequenceStart; i < bytes.size(); ++i) {
        const QString decoded = bytewise.decode(bytes.sliced(i, 1));
        if (bytewise.hasError())
            return sequenceStart;
        if (!decoded.isEmpty())
            sequenceStart = i + 1;
    }
    return sequenceStart;
}

} // namespace

std::variant<QString, Gb18030Invalid, Gb18030Unavailable> decodeGb18030(QByteArrayView bytes)
{
    // Stateless: a sequence cut off by the end is an error, not pending state.
    QStringDecoder decoder(converterName, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return Gb18030Unavailable{};
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return Gb18030Invalid{firstInvalidOffset(bytes)};
    return text;
}

#endif

namespace
{

// Whether the bytes are the start of a GB18030 sequence that the end of the bytes cut off: a lead
// byte alone, or the first two or three bytes of a four-byte sequence.
bool isCutOff(QByteArrayView rest)
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

bool readsAsGb18030(QByteArrayView bytes, bool complete)
{
    const auto decoded = decodeGb18030(bytes);
    if (std::holds_alternative<QString>(decoded))
        return true;
    const auto *bad = std::get_if<Gb18030Invalid>(&decoded);
    return !complete && bad && isCutOff(bytes.sliced(bad->offset));
}

} // namespace tavrinel::input
