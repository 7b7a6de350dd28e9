// The UTF-8 engine against the UTF-16 core on the same bytes and settings. Input: a byte of
// switches (mode, escaping, kernel, the break rule, how the article is given, a length limit), the
// size N in two bytes, the chunk size, the limit, then the article: either raw bytes, or UTF-16
// units as fuzz::Input reads them, encoded to UTF-8 with lone surrogates kept as (ill-formed)
// three-byte sequences, so that valid articles with every kind of character are near.

#include "checks/checks.h"
#include "fuzzinput.h"
#include "memorysink.h"
#include "utf16run.h"
#include "utf8/engine.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

using namespace tavrinel;
using namespace tavrinel::utf8;
using fuzz::check;
using testsupport::MemorySink;

namespace
{

// UTF-16 to UTF-8 by the arithmetic of the encoding; a lone surrogate is encoded like any other
// BMP value, which makes it ill-formed UTF-8.
QByteArray encodeLoosely(const std::u16string &units)
{
    QByteArray out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        const auto put = [&out](char32_t byte) {
            out += static_cast<char>(byte);
        };
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6), put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | c >> 12), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | c >> 18), put(0x80 | (c >> 12 & 0x3F)), put(0x80 | (c >> 6 & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The offset of the first ill-formed sequence is the length of the longest valid prefix: Qt must
// take the bytes before it and none of the (at most four) longer prefixes that could end a
// sequence starting there.
void checkInvalidOffset(const QByteArray &bytes, std::uint64_t offset)
{
    const auto at = static_cast<qsizetype>(offset);
    check(at < bytes.size(), "invalid offset past the end");
    check(testutf16::decode(bytes.left(at)).has_value(), "bytes before the offset are invalid");
    for (qsizetype more = 1; more <= 4 && at + more <= bytes.size(); ++more)
        check(!testutf16::decode(bytes.left(at + more)).has_value(),
              "a longer prefix is valid: the offset is too early");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The input: a byte of switches, the size, the chunk size, the length limit, then the
    // article as text or as raw bytes.
    fuzz::Input input(data, size);
    const std::uint8_t switches = input.byte();
    const std::int16_t n = input.int16();
    const std::uint8_t chunk = input.byte();
    const std::uint8_t limit = input.byte();
    QByteArray bytes;
    if (switches & 0x40) {
        bytes = encodeLoosely(input.text());
    } else {
        while (input.left() > 0)
            bytes += static_cast<char>(input.byte());
    }

    GenerationSettings settings =
        settingsFor(n, splitModeOf(switches & 1), completenessOf(switches & 2));
    settings.breaks = switches & 0x20 ? Breaks::Cjk : Breaks::Ascii;
    EngineOptions options;
    options.escapeHtml = switches & 4;
    constexpr Kernel kernels[] = {Kernel::Best, Kernel::Scalar, Kernel::Sse2, Kernel::Avx2};
    options.kernel = kernels[(switches >> 3) & 3];
    options.chunkSize = std::size_t{1} + chunk;
    const bool limited = switches & 0x80;
    if (limited)
        options.maxArticleLength = limit;

    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    MemorySource source(view);
    MemorySink sink;
    const Result result = cut(source, settings, sink, options);
    MemorySource again(view);
    const Result validity = validate(again, options);
    MemorySource forCount(view);
    const CountResult counted = count(forCount, options, settings.breaks);

    const auto text = testutf16::decode(bytes);
    if (!text) {
        check(validity.outcome == Outcome::InvalidUtf8, "invalid input taken as valid");
        checkInvalidOffset(bytes, validity.offset);
        check(counted.result == validity, "count reports another error");
        if (!limited)
            check(result == validity, "cut reports another error");
        return 0;
    }
    check(validity.ok() && counted.result.ok(), "valid input refused");
    check(counted.counts.characters == characterCount(*text) &&
              counted.counts.sentences == sentenceCount(*text, settings.breaks),
          "counts differ from the UTF-16 core");
    if (limited && trimSpaces(*text).size() > limit) {
        check(result.outcome == Outcome::TooLong, "article over the limit accepted");
        return 0;
    }
    check(result.ok(), "cut failed on valid input");
    check(sink.text == testutf16::paragraphText(bytes, settings, options.escapeHtml).value(),
          "paragraph text differs from the UTF-16 core");
    return 0;
}
