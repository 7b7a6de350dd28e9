#pragma once

#include "decodeerror.h"
#include "encoding.h"

#include <QByteArrayView>
#include <QString>
#include <optional>
#include <variant>

namespace tavrinel::input
{

// A byte order mark at the start of a file. UTF-32 marks are recognised only to be refused: a
// UTF-32 little-endian mark would otherwise pass for a UTF-16 one followed by a NUL.
struct ByteOrderMark {
    std::optional<Encoding> encoding; // what the mark selects; empty for UTF-32
    qsizetype length = 0;
};

std::optional<ByteOrderMark> byteOrderMark(QByteArrayView head);

struct DecodedText {
    QString text; // without the byte order mark
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false; // the mark chose the encoding
};

// The bytes of a text file as UTF-16. A byte order mark decides the encoding whatever was
// requested; without one the bytes are read in `requested`, and Auto reads valid UTF-8 as UTF-8
// and anything else as GB18030. Strict: a byte that is not part of a well-formed sequence is an
// error with its offset, never replaced. Only Auto judges NUL bytes (nulRefusal() in
// nulbytes.h): an encoding asked for by name is obeyed.
std::variant<DecodedText, DecodeError> decodeText(QByteArrayView bytes, Encoding requested);

} // namespace tavrinel::input
