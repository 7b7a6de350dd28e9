#pragma once

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

// Whether bytes without a mark look like UTF-16 and in which byte order: many NUL bytes at
// alternate positions, as every ASCII character in UTF-16 has one.
std::optional<Encoding> utf16WithoutMark(QByteArrayView bytes);

// The NUL bytes at even and at odd offsets, and how many bytes there were. Pieces of a stream
// are added one after the other, so that the same judgement can be made while bytes stream past.
struct NulCounts {
    qint64 even = 0;
    qint64 odd = 0;
    qint64 bytes = 0;

    void add(QByteArrayView piece);
};

// The same judged on such counts.
std::optional<Encoding> utf16ByNulCounts(const NulCounts &counts);

// Whether the bytes are GB18030 text. With `complete` false they are the start of a longer input,
// and a sequence cut off at their end does not count against them.
bool readsAsGb18030(QByteArrayView bytes, bool complete = true);

struct DecodeError {
    enum class Kind {
        Invalid,          // `offset` starts no well-formed sequence of `encoding`
        Utf32Mark,        // UTF-32 is not read
        Utf16WithoutMark, // refused rather than read as text full of NULs
        Unavailable,      // this build cannot convert `encoding`
    };
    Kind kind = Kind::Invalid;
    // Invalid: what the bytes were read as, Auto for both UTF-8 and GB18030; Utf16WithoutMark:
    // the byte order they look like.
    Encoding encoding = Encoding::Utf8;
    qsizetype offset = 0; // counted from the file's first byte, mark included; Auto: as UTF-8
    qsizetype gb18030Offset = 0; // Auto: where reading as GB18030 fails
    bool readsAsGb18030 = false; // invalid UTF-8 that is valid GB18030
};

struct DecodedText {
    QString text; // without the byte order mark
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false; // the mark chose the encoding
};

// The bytes of a text file as UTF-16. A byte order mark decides the encoding whatever was
// requested; without one the bytes are read in `requested`, and Auto reads valid UTF-8 as UTF-8
// and anything else as GB18030. Strict: a byte that is not part of a well-formed sequence is an
// error with its offset, never replaced. Bytes that look like UTF-16 without a mark are refused
// unless UTF-16 is requested.
std::variant<DecodedText, DecodeError> decodeText(QByteArrayView bytes, Encoding requested);

// The error in English for standard error, e.g. "invalid UTF-8 at byte offset 7; it reads as
// GB18030: use --encoding gb18030".
QString describeError(const DecodeError &error);

} // namespace tavrinel::input
