#pragma once

// The paragraph run straight on UTF-8: no decoding to UTF-16 and back. A stop is marked on the
// last byte of its character, and a piece's length in UTF-16 units follows from its bytes (one
// per byte that is not a continuation byte, one more per four-byte lead), so cutting the bytes
// gives exactly the UTF-16 run's paragraphs. The input is read in
// chunks and the output written as it is made: memory stays bounded whatever the input's size.

#include "bytesource.h"
#include "generate/bytesink.h"
#include "generate/settings.h"
#include "segment/breakcopy.h"
#include "simd.h"

#include <cstddef>
#include <cstdint>

namespace tavrinel::utf8
{

struct EngineOptions {
    // Bytes asked of the source at a time; tiny chunks exercise every boundary in tests.
    std::size_t chunkSize = std::size_t{1} << 20;
    // Write & < > " inside paragraphs as entities; the cutting counts the text as written.
    bool escapeHtml = false;
    // The longest trimmed article accepted, in UTF-16 units (tests lower it).
    std::uint64_t maxArticleLength = BreakCopy::maxArticleLength;
    // Which instruction set classifies the bytes; tests pin each one.
    Kernel kernel = Kernel::Best;
};

enum class Outcome { Ok, InvalidUtf8, TooLong, ReadFailed, WriteFailed };

struct Result {
    Outcome outcome = Outcome::Ok;
    // InvalidUtf8: offset of the first byte of the first ill-formed sequence, a byte order mark
    // counted.
    std::uint64_t offset = 0;

    bool ok() const { return outcome == Outcome::Ok; }
    friend bool operator==(const Result &, const Result &) = default;
};

// The counts of the untrimmed text, as the window shows them; a byte order mark is not counted.
struct Counts {
    std::int64_t characters = 0;
    std::int64_t sentences = 0;
    friend bool operator==(const Counts &, const Counts &) = default;
};

struct CountResult {
    Result result;
    Counts counts;
};

// Reads the whole source and says whether it is strict UTF-8 (no overlong forms, surrogates,
// values above U+10FFFF or sequence cut off at the end).
Result validate(ByteSource &source, const EngineOptions &options = {});

// The paragraph text of the article in `source` (trimmed of spaces at both ends, a leading byte
// order mark skipped), written to `sink` as it is made. Validates as it goes and stops at the
// first ill-formed byte; what was written before that stays written.
Result cut(ByteSource &source, const GenerationSettings &settings, ByteSink &sink,
           const EngineOptions &options = {});

// The counts of the untrimmed text, sentences by the rule's stops.
CountResult count(ByteSource &source, const EngineOptions &options = {},
                  Breaks rule = Breaks::Ascii);

} // namespace tavrinel::utf8
