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

// The NUL bytes at even and at odd offsets, and how many bytes there were. Pieces of a stream
// are added one after the other, so that the same judgement can be made while bytes stream past.
struct NulCounts {
    qint64 even = 0;
    qint64 odd = 0;
    qint64 bytes = 0;

    void add(QByteArrayView piece);
};

// Whether the bytes are GB18030 text. With `complete` false they are the start of a longer input,
// and a sequence cut off at their end does not count against them.
bool readsAsGb18030(QByteArrayView bytes, bool complete = true);

struct DecodeError {
    enum class Kind {
        Invalid,          // `offset` starts no well-formed sequence of `encoding`
        Utf32Mark,        // UTF-32 is not read
        Utf16WithoutMark, // refused rather than read as text full of NULs
        NotText,          // NUL bytes, and not UTF-16 either: binary data
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

// What NUL bytes say about bytes without a mark. Nothing when they may be text: no NUL, or a
// stray few in a long text. Otherwise a refusal: UTF-16 without a mark, in the byte order named,
// when the NULs clearly say so and `sample` decodes cleanly in that order (the bytes themselves,
// or their start when `sampleIsWhole` is false); else not text at all.
std::optional<DecodeError> nulRefusal(const NulCounts &counts, QByteArrayView sample,
                                      bool sampleIsWhole);
std::optional<DecodeError> nulRefusal(QByteArrayView bytes);

// The bytes of a text file as UTF-16. A byte order mark decides the encoding whatever was
// requested; without one the bytes are read in `requested`, and Auto reads valid UTF-8 as UTF-8
// and anything else as GB18030. Strict: a byte that is not part of a well-formed sequence is an
// error with its offset, never replaced. Only Auto judges NUL bytes (nulRefusal()): an encoding
// asked for by name is obeyed.
std::variant<DecodedText, DecodeError> decodeText(QByteArrayView bytes, Encoding requested);

// The error in English for standard error, e.g. "invalid UTF-8 at byte offset 7; it reads as
// GB18030: use --encoding gb18030".
QString describeError(const DecodeError &error);

} // namespace tavrinel::input
