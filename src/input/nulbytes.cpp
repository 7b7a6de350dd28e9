#include "nulbytes.h"

#include "segment/breakscan.h"
#include "utf16.h"

#include <algorithm>
#include <cstddef>
#include <variant>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrinel::input
{

namespace
{

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
    return std::holds_alternative<QString>(decodeUtf16(bytes, order));
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

} // namespace tavrinel::input
