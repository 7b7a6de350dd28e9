// The text decoder over any bytes in any requested encoding: what it reads encodes back to exactly
// the bytes it read, less the mark; what it refuses is refused at an offset within the input, and
// for GB18030 the bytes before it decode. Input: one byte choosing the requested encoding (in the
// order of the Encoding enumeration), then the file's bytes.

#include "fuzzinput.h"
#include "input/decode.h"
#include "input/gb18030.h"

#include <QStringEncoder>
#include <variant>

using namespace tavrinel::input;
using fuzz::check;

namespace
{

QByteArray encode(const QString &text, Encoding encoding)
{
    const char *name = encoding == Encoding::Utf16LE   ? "UTF-16LE"
                       : encoding == Encoding::Utf16BE ? "UTF-16BE"
                       : encoding == Encoding::Gb18030 ? "GB18030"
                                                       : "UTF-8";
    QStringEncoder encoder(name, QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    check(!encoder.hasError(), "the decoded text does not encode");
    return bytes;
}

void checkRead(QByteArrayView bytes, const DecodedText &decoded)
{
    const qsizetype markLength =
        decoded.byteOrderMark ? byteOrderMark(bytes).value_or(ByteOrderMark{}).length : 0;
    check(!decoded.byteOrderMark || markLength > 0, "a mark was reported that is not there");
    check(encode(decoded.text, decoded.encoding) == bytes.sliced(markLength),
          "the text does not encode back to the bytes read");
}

// The GB18030 offset is found by a search of its own (the converter does not report one).
void checkRefusal(QByteArrayView bytes, const DecodeError &error)
{
    if (error.kind != DecodeError::Kind::Invalid)
        return;
    check(error.offset >= 0 && error.offset < bytes.size(), "offset outside the input");
    if (error.encoding != Encoding::Gb18030 && error.encoding != Encoding::Auto)
        return;
    const qsizetype offset = error.encoding == Encoding::Auto ? error.gb18030Offset : error.offset;
    check(offset >= 0 && offset < bytes.size(), "GB18030 offset outside the input");
    check(std::holds_alternative<QString>(decodeGb18030(bytes.first(offset))),
          "bytes before the GB18030 offset do not decode");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input input(data, size);
    const auto requested = static_cast<Encoding>(input.byte() % 5);
    const QByteArrayView bytes(data + 1, size > 0 ? qsizetype(size) - 1 : 0);
    const auto result = decodeText(bytes, requested);
    if (const auto *decoded = std::get_if<DecodedText>(&result))
        checkRead(bytes, *decoded);
    else
        checkRefusal(bytes, std::get<DecodeError>(result));
    return 0;
}
