// The x86 classification kernels: SSE2, which every x86-64 processor has, and AVX2, chosen at
// run time. Each AVX2 function carries its target attribute, so the rest of the program stays
// baseline code.

#include "x86.h"

#if TAVRINEL_UTF8_X86

#include "avx2.h"
#include "runmasks.h"

#include <bit>
#include <cstring>
#include <immintrin.h>
#include <utility>

namespace tavrinel::utf8::x86
{

namespace
{

// The last, partial window is classified from a zero-padded copy: no read past the input. Zero
// bytes are ASCII, so only their lead bits need clearing afterwards.
template<Window (*classifyWindow)(const unsigned char *)>
__attribute__((always_inline)) inline Tally classifyWith(const unsigned char *bytes,
                                                         std::size_t size, Window *windows)
{
    Tally tally;
    std::size_t i = 0;
    for (; i + windowBytes <= size; i += windowBytes) {
        windows[i / windowBytes] = classifyWindow(bytes + i);
        tally.add(windows[i / windowBytes]);
    }
    if (i < size) {
        unsigned char tail[windowBytes] = {};
        std::memcpy(tail, bytes + i, size - i);
        Window window = classifyWindow(tail);
        window.lead &= (std::uint64_t{1} << (size - i)) - 1;
        tally.add(window);
        windows[i / windowBytes] = window;
    }
    return tally;
}

// --- SSE2 ---

std::uint64_t bits16(__m128i mask)
{
    return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
}

// Bytes equal to any of the list's characters.
template<const CharList &List, std::size_t... I>
__attribute__((always_inline)) inline __m128i matchSse2([[maybe_unused]] __m128i v,
                                                        std::index_sequence<I...>)
{
    return (_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(List.chars[I]))) | ... |
            _mm_setzero_si128());
}

template<const CharList &List> __attribute__((always_inline)) inline __m128i matchSse2(__m128i v)
{
    return matchSse2<List>(v, std::make_index_sequence<List.size>{});
}

template<Completeness Mode> Window windowSse2(const unsigned char *bytes)
{
    Window window;
    const __m128i continuationTop = _mm_set1_epi8(static_cast<char>(0xBF));
    const __m128i fourLead = _mm_set1_epi8(static_cast<char>(0xF0));
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + 16 * k));
        // Signed compare: continuation bytes 0x80..0xBF are the only ones at or below -65.
        const __m128i lead = _mm_cmpgt_epi8(v, continuationTop);
        const __m128i four = _mm_cmpeq_epi8(_mm_max_epu8(v, fourLead), v);
        const __m128i brk = matchSse2<asciiChars<Breaks::Ascii, Mode, charclass::end>>(v);
        window.lead |= bits16(lead) << (16 * k);
        window.four |= bits16(four) << (16 * k);
        window.brk |= bits16(brk) << (16 * k);
    }
    return window;
}

// A rule with runs: the ASCII classes by compares, the three-byte characters by comparing each
// byte and the two before it with every encoding of the table.
template<Breaks Rule, Completeness Mode> class Sse2RunScan
{
public:
    RunBytes operator()(const unsigned char *window)
    {
        RunBytes b;
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(window + 16 * k));
            const int shift = 16 * k;
            const std::uint64_t high = bits16(v);
            b.lead |= bits16(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0xBF)))) << shift;
            b.four |=
                bits16(_mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(0xF0))), v))
                << shift;
            b.starts |= bits16(matchSse2<asciiChars<Rule, Mode, endWhite>>(v)) << shift;
            b.ascii |=
                bits16(matchSse2<asciiChars<Rule, Mode, charclass::end, charclass::white>>(v))
                << shift;
            b.closing |= bits16(matchSse2<asciiChars<Rule, Mode, charclass::closing>>(v)) << shift;
            b.boundary |= (bits16(matchSse2<asciiChars<Rule, Mode, charclass::white>>(v)) | high)
                          << shift;
            // A last byte is never ASCII: windows of ASCII text skip the compares.
            if (high != 0) {
                const __m128i before1 =
                    _mm_or_si128(_mm_slli_si128(v, 1), _mm_srli_si128(previous_, 15));
                const __m128i before2 =
                    _mm_or_si128(_mm_slli_si128(v, 2), _mm_srli_si128(previous_, 14));
                __m128i ends = _mm_setzero_si128();
                __m128i closings = _mm_setzero_si128();
                matchWide(v, before1, before2, ends, closings,
                          std::make_index_sequence<wideChars<Rule, Mode>.size()>{});
                const std::uint64_t endBits = bits16(ends);
                const std::uint64_t closingBits = bits16(closings);
                b.starts |= endBits << shift;
                b.closing |= closingBits << shift;
                b.wide |= (endBits | closingBits) << shift;
            }
            previous_ = v;
        }
        // Ends and closing marks are boundaries too.
        b.boundary |= b.starts | b.ascii | b.closing;
        return b;
    }

private:
    static constexpr unsigned endWhite = charclass::end | charclass::white;

    template<std::size_t... I>
    static void matchWide(__m128i v, __m128i before1, __m128i before2, __m128i &ends,
                          __m128i &closings, std::index_sequence<I...>)
    {
        constexpr auto &chars = wideChars<Rule, Mode>;
        const auto is = [](__m128i bytes, unsigned char c) {
            return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(c)));
        };
        (((chars[I].end ? ends : closings) |= is(before2, chars[I].bytes[0]) &
                                              is(before1, chars[I].bytes[1]) &
                                              is(v, chars[I].bytes[2])),
         ...);
    }

    __m128i previous_{};
};

// --- AVX2 ---

template<const CharList &List, std::size_t... I>
TAVRINEL_AVX2 __attribute__((always_inline)) inline __m256i matchAvx2([[maybe_unused]] __m256i v,
                                                                      std::index_sequence<I...>)
{
    return (_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(List.chars[I]))) | ... |
            _mm256_setzero_si256());
}

template<const CharList &List>
TAVRINEL_AVX2 __attribute__((always_inline)) inline __m256i matchAvx2(__m256i v)
{
    return matchAvx2<List>(v, std::make_index_sequence<List.size>{});
}

template<Completeness Mode> TAVRINEL_AVX2 Window windowAvx2(const unsigned char *bytes)
{
    Window window;
    const __m256i continuationTop = _mm256_set1_epi8(static_cast<char>(0xBF));
    const __m256i fourLead = _mm256_set1_epi8(static_cast<char>(0xF0));
    for (int k = 0; k < 2; ++k) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + 32 * k));
        const __m256i lead = _mm256_cmpgt_epi8(v, continuationTop);
        const __m256i four = _mm256_cmpeq_epi8(_mm256_max_epu8(v, fourLead), v);
        const __m256i brk = matchAvx2<asciiChars<Breaks::Ascii, Mode, charclass::end>>(v);
        window.lead |= bits32(lead) << (32 * k);
        window.four |= bits32(four) << (32 * k);
        window.brk |= bits32(brk) << (32 * k);
    }
    return window;
}

// The three-byte ends and closing marks by two table look-ups a byte: which of the table's
// first-two-byte prefixes stand before the byte, and which prefixes make an end or a closing
// mark with it (two bits a prefix), looked up by its high nibble and low nibble.
template<Breaks Rule, Completeness Mode> struct WideLookup {
    static constexpr std::size_t maxPrefixes = 4;
    std::array<std::array<unsigned char, 2>, maxPrefixes> prefixes{};
    std::size_t prefixCount = 0;
    std::array<std::array<char, 16>, 4> byHighNibble{}; // of last bytes 0x80..0xBF

    constexpr WideLookup()
    {
        for (const WideChar &c : wideChars<Rule, Mode>) {
            std::size_t p = 0;
            while (p < prefixCount &&
                   (prefixes[p][0] != c.bytes[0] || prefixes[p][1] != c.bytes[1]))
                ++p;
            if (p == maxPrefixes)
                throw "more first-two-byte prefixes than the look-up has bits for";
            if (p == prefixCount)
                prefixes[prefixCount++] = {c.bytes[0], c.bytes[1]};
            const std::size_t bit = 2 * p + (c.end ? 0 : 1);
            byHighNibble[(c.bytes[2] >> 4) - 8][c.bytes[2] & 0x0F] |= static_cast<char>(1 << bit);
        }
    }
};

template<Breaks Rule, Completeness Mode> inline constexpr WideLookup<Rule, Mode> wideLookup{};

// The ASCII classes by two table look-ups a byte, on its high and on its low nibble: one bit for
// each class and high nibble that has characters of the class, so that the two entries of a byte
// share a bit exactly for the class's characters.
template<Breaks Rule, Completeness Mode> struct AsciiLookup {
    std::array<char, 16> byHighNibble{};
    std::array<char, 16> byLowNibble{};
    char starts = 0; // the bits of each class
    char ascii = 0;
    char closing = 0;
    char white = 0;

    constexpr AsciiLookup()
    {
        unsigned used = 0;
        const auto add = [&](const CharList &list, char &classBits) {
            for (unsigned high = 0; high < 8; ++high) {
                char bit = 0;
                for (std::size_t i = 0; i < list.size; ++i) {
                    if (list.chars[i] >> 4 != high)
                        continue;
                    if (bit == 0) {
                        if (used == 8)
                            throw "more ASCII classes and high nibbles than a byte has bits";
                        bit = static_cast<char>(1 << used++);
                        byHighNibble[high] |= bit;
                        classBits |= bit;
                    }
                    byLowNibble[list.chars[i] & 0x0F] |= bit;
                }
            }
        };
        add(asciiChars<Rule, Mode, charclass::end | charclass::white>, starts);
        add(asciiChars<Rule, Mode, charclass::end, charclass::white>, ascii);
        add(asciiChars<Rule, Mode, charclass::closing>, closing);
        add(asciiChars<Rule, Mode, charclass::white>, white);
    }
};

template<Breaks Rule, Completeness Mode> inline constexpr AsciiLookup<Rule, Mode> asciiLookup{};

template<Breaks Rule, Completeness Mode> class Avx2RunScan
{
public:
    TAVRINEL_AVX2 RunBytes operator()(const unsigned char *window)
    {
        RunBytes b;
        for (int k = 0; k < 2; ++k) {
            const __m256i v =
                _mm256_loadu_si256(reinterpret_cast<const __m256i *>(window + 32 * k));
            const int shift = 32 * k;
            const std::uint64_t high = bits32(v);
            b.lead |= bits32(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(static_cast<char>(0xBF))))
                      << shift;
            b.four |= bits32(_mm256_cmpeq_epi8(
                          _mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(0xF0))), v))
                      << shift;
            const __m256i low = v & _mm256_set1_epi8(0x0F);
            const __m256i highNibble = highNibbles(v);
            constexpr const AsciiLookup<Rule, Mode> &ascii = asciiLookup<Rule, Mode>;
            const __m256i classes = _mm256_shuffle_epi8(tableOf(ascii.byHighNibble), highNibble) &
                                    _mm256_shuffle_epi8(tableOf(ascii.byLowNibble), low);
            b.starts |= any(classes, ascii.starts) << shift;
            b.ascii |= any(classes, ascii.ascii) << shift;
            b.closing |= any(classes, ascii.closing) << shift;
            b.boundary |= (any(classes, ascii.white) | high) << shift;
            // A last byte is never ASCII: windows of ASCII text skip the look-ups.
            if (high != 0) {
                const __m256i wide = wideClassesOf(v, previous_, low, highNibble);
                const std::uint64_t endBits = any(wide, 0x55);
                const std::uint64_t closingBits = any(wide, static_cast<char>(0xAA));
                b.starts |= endBits << shift;
                b.closing |= closingBits << shift;
                b.wide |= (endBits | closingBits) << shift;
            }
            previous_ = v;
        }
        // Ends and closing marks are boundaries too.
        b.boundary |= b.starts | b.ascii | b.closing;
        return b;
    }

private:
    static constexpr const WideLookup<Rule, Mode> &lookup = wideLookup<Rule, Mode>;

    // The bits of the bytes that have any of `bits` set.
    TAVRINEL_AVX2 static std::uint64_t any(__m256i classes, char bits)
    {
        const __m256i none =
            _mm256_cmpeq_epi8(classes & _mm256_set1_epi8(bits), _mm256_setzero_si256());
        return ~bits32(none) & 0xFFFFFFFFU;
    }

    // Per byte: bit 2p (an end) or 2p + 1 (a closing mark) when prefix p stands before it.
    TAVRINEL_AVX2 static __m256i wideClassesOf(__m256i v, __m256i previous, __m256i low,
                                               __m256i highNibble)
    {
        const __m256i before1 = before<1>(v, previous);
        const __m256i before2 = before<2>(v, previous);
        return prefixBits(before1, before2) &
               lastBits(low, highNibble, std::make_index_sequence<4>{});
    }

    // A loop, not a fold over the prefixes: MinGW's GCC 12 takes such a fold for a vector
    // returned from code without AVX.
    TAVRINEL_AVX2 static __m256i prefixBits(__m256i before1, __m256i before2)
    {
        __m256i bits = _mm256_setzero_si256();
        for (std::size_t p = 0; p < lookup.prefixCount; ++p) {
            const __m256i first = _mm256_cmpeq_epi8(
                before2, _mm256_set1_epi8(static_cast<char>(lookup.prefixes[p][0])));
            const __m256i second = _mm256_cmpeq_epi8(
                before1, _mm256_set1_epi8(static_cast<char>(lookup.prefixes[p][1])));
            bits |= first & second & _mm256_set1_epi8(static_cast<char>(3 << (2 * p)));
        }
        return bits;
    }

    template<std::size_t... H>
    TAVRINEL_AVX2 static __m256i lastBits(__m256i low, __m256i highNibble,
                                          std::index_sequence<H...>)
    {
        return ((_mm256_cmpeq_epi8(highNibble, _mm256_set1_epi8(static_cast<char>(8 + H))) &
                 _mm256_shuffle_epi8(tableOf(lookup.byHighNibble[H]), low)) |
                ... | _mm256_setzero_si256());
    }

    TAVRINEL_AVX2 static __m256i tableOf(const std::array<char, 16> &t)
    {
        return table(t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10], t[11],
                     t[12], t[13], t[14], t[15]);
    }

    __m256i previous_{};
};

} // namespace

__attribute__((flatten)) Tally classifySse2(const unsigned char *bytes, std::size_t size,
                                            BreakSet set, Surroundings &around, Window *windows)
{
    const bool word = set.mode == Completeness::Word;
    if (set.rule == Breaks::Ascii)
        return word ? classifyWith<windowSse2<Completeness::Word>>(bytes, size, windows)
                    : classifyWith<windowSse2<Completeness::Sentence>>(bytes, size, windows);
    if (word)
        return classifyRuns(bytes, size, around, windows,
                            Sse2RunScan<Breaks::Cjk, Completeness::Word>{});
    return classifyRuns(bytes, size, around, windows,
                        Sse2RunScan<Breaks::Cjk, Completeness::Sentence>{});
}

TAVRINEL_AVX2 __attribute__((flatten)) Tally classifyAvx2(const unsigned char *bytes,
                                                          std::size_t size, BreakSet set,
                                                          Surroundings &around, Window *windows)
{
    const bool word = set.mode == Completeness::Word;
    if (set.rule == Breaks::Ascii)
        return word ? classifyWith<windowAvx2<Completeness::Word>>(bytes, size, windows)
                    : classifyWith<windowAvx2<Completeness::Sentence>>(bytes, size, windows);
    if (word)
        return classifyRuns(bytes, size, around, windows,
                            Avx2RunScan<Breaks::Cjk, Completeness::Word>{});
    return classifyRuns(bytes, size, around, windows,
                        Avx2RunScan<Breaks::Cjk, Completeness::Sentence>{});
}

bool hasAvx2()
{
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi");
}

} // namespace tavrinel::utf8::x86

#endif
