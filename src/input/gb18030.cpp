#include "gb18030.h"

#include <QStringDecoder>

namespace tavrinel::input
{

namespace
{

// Qt converts GB18030 through ICU.
constexpr char converterName[] = "GB18030";

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

} // namespace tavrinel::input
