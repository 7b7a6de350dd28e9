#pragma once

#include "encoding.h"

#include <QString>

namespace tavrinel::input
{

// Why bytes were not read as text. Each language has one switch over `Kind`: describeError()
// below for the command line, the window's own in Chinese; neither has a default, so the compiler
// names each one that misses a new kind.
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

// The error in English for standard error, e.g. "invalid UTF-8 at byte offset 7; it reads as
// GB18030: use --encoding gb18030".
QString describeError(const DecodeError &error);

} // namespace tavrinel::input
