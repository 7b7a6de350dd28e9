// The x86 classification kernels: SSE2, which every x86-64 processor has, and AVX2, chosen at
// run time. The kernels are written once, in x86kernels.inc, against the vector operations of a
// `Lanes` type; each width includes them in a namespace of its own, the AVX2 one with AVX2's
// target options in force, so the rest of the program stays baseline code.

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

// What one vector's bytes are for a rule with runs, one bit a byte.
struct AsciiRunBits {
    std::uint64_t starts = 0;
    std::uint64_t ascii = 0;
    std::uint64_t closing = 0;
    std::uint64_t white = 0;
};

struct WideRunBits {
    std::uint64_t ends = 0;
    std::uint64_t closings = 0;
};

// --- SSE2: 16 bytes at a time, the classes by compares ---

namespace sse2
{

struct Lanes {
    using Vector = __m128i;
    static constexpr int width = 16;

    static Vector load(const unsigned char *bytes)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes));
    }

    static Vector zero() { return _mm_setzero_si128(); }

    static std::uint64_t bits(Vector mask)
    {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
    }

    static std::uint64_t highBits(Vector v) { return bits(v); }

    // Signed compare: continuation bytes 0x80..0xBF are the only ones at or below -65.
    static std::uint64_t leads(Vector v)
    {
        return bits(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0xBF))));
    }

    static std::uint64_t fourLeads(Vector v)
    {
        return bits(_mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(0xF0))), v));
    }

    // Bytes equal to any of the list's characters.
    template<const CharList &List> static std::uint64_t matching(Vector v)
    {
        return bits(matchAny<List>(v, std::make_index_sequence<List.size>{}));
    }

    template<Breaks Rule, Completeness Mode> static AsciiRunBits asciiRunBits(Vector v)
    {
        return {matching<asciiChars<Rule, Mode, charclass::end | charclass::white>>(v),
                matching<asciiChars<Rule, Mode, charclass::end, charclass::white>>(v),
                matching<asciiChars<Rule, Mode, charclass::closing>>(v),
                matching<asciiChars<Rule, Mode, charclass::white>>(v)};
    }

    // Each byte and the two before it compared with every encoding of the table.
    template<Breaks Rule, Completeness Mode>
    static WideRunBits wideRunBits(Vector v, Vector previous)
    {
        const Vector before1 = _mm_or_si128(_mm_slli_si128(v, 1), _mm_srli_si128(previous, 15));
        const Vector before2 = _mm_or_si128(_mm_slli_si128(v, 2), _mm_srli_si128(previous, 14));
        Vector ends = _mm_setzero_si128();
        Vector closings = _mm_setzero_si128();
        matchWide<Rule, Mode>(v, before1, before2, ends, closings,
                              std::make_index_sequence<wideChars<Rule, Mode>.size()>{});
        return {bits(ends), bits(closings)};
    }

private:
    template<const CharList &List, std::size_t... I>
    __attribute__((always_inline)) static Vector matchAny([[maybe_unused]] Vector v,
                                                          std::index_sequence<I...>)
    {
        return (_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(List.chars[I]))) | ... |
                _mm_setzero_si128());
    }

    template<Breaks Rule, Completeness Mode, std::size_t... I>
    static void matchWide(Vector v, Vector before1, Vector before2, Vector &ends, Vector &closings,
                          std::index_sequence<I...>)
    {
        constexpr auto &chars = wideChars<Rule, Mode>;
        const auto is = [](Vector bytes, unsigned char c) {
            return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(c)));
        };
        (((chars[I].end ? ends : closings) |= is(before2, chars[I].bytes[0]) &
                                              is(before1, chars[I].bytes[1]) &
                                              is(v, chars[I].bytes[2])),
         ...);
    }
};

#include "x86kernels.inc"

} // namespace sse2

// --- AVX2: 32 bytes at a time, the classes of a rule with runs by table look-ups ---

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt,bmi"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt,bmi")
#endif

namespace avx2
{

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

struct Lanes {
    using Vector = __m256i;
    static constexpr int width = 32;

    static Vector load(const unsigned char *bytes)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes));
    }

    static Vector zero() { return _mm256_setzero_si256(); }

    static std::uint64_t highBits(Vector v) { return bits32(v); }

    static std::uint64_t leads(Vector v)
    {
        return bits32(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(static_cast<char>(0xBF))));
    }

    static std::uint64_t fourLeads(Vector v)
    {
        return bits32(
            _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(0xF0))), v));
    }

    template<const CharList &List> static std::uint64_t matching(Vector v)
    {
        return bits32(matchAny<List>(v, std::make_index_sequence<List.size>{}));
    }

    template<Breaks Rule, Completeness Mode> static AsciiRunBits asciiRunBits(Vector v)
    {
        constexpr const AsciiLookup<Rule, Mode> &ascii = asciiLookup<Rule, Mode>;
        const Vector classes = _mm256_shuffle_epi8(tableOf(ascii.byHighNibble), highNibbles(v)) &
                               _mm256_shuffle_epi8(tableOf(ascii.byLowNibble), lowNibbles(v));
        return {any(classes, ascii.starts), any(classes, ascii.ascii), any(classes, ascii.closing),
                any(classes, ascii.white)};
    }

    // Per byte: bit 2p (an end) or 2p + 1 (a closing mark) when prefix p stands before it.
    template<Breaks Rule, Completeness Mode>
    static WideRunBits wideRunBits(Vector v, Vector previous)
    {
        const Vector wide =
            prefixBits<Rule, Mode>(before<1>(v, previous), before<2>(v, previous)) &
            lastBits<Rule, Mode>(lowNibbles(v), highNibbles(v), std::make_index_sequence<4>{});
        return {any(wide, 0x55), any(wide, static_cast<char>(0xAA))};
    }

private:
    template<const CharList &List, std::size_t... I>
    __attribute__((always_inline)) static Vector matchAny([[maybe_unused]] Vector v,
                                                          std::index_sequence<I...>)
    {
        return (_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(List.chars[I]))) | ... |
                _mm256_setzero_si256());
    }

    static Vector lowNibbles(Vector v) { return v & _mm256_set1_epi8(0x0F); }

    // The bits of the bytes that have any of `bits` set.
    static std::uint64_t any(Vector classes, char bits)
    {
        const Vector none =
            _mm256_cmpeq_epi8(classes & _mm256_set1_epi8(bits), _mm256_setzero_si256());
        return ~bits32(none) & 0xFFFFFFFFU;
    }

    // A loop, not a fold over the prefixes: MinGW's GCC 12 takes such a fold for a vector
    // returned from code without AVX.
    template<Breaks Rule, Completeness Mode>
    static Vector prefixBits(Vector before1, Vector before2)
    {
        constexpr const WideLookup<Rule, Mode> &lookup = wideLookup<Rule, Mode>;
        Vector bits = _mm256_setzero_si256();
        for (std::size_t p = 0; p < lookup.prefixCount; ++p) {
            const Vector first = _mm256_cmpeq_epi8(
                before2, _mm256_set1_epi8(static_cast<char>(lookup.prefixes[p][0])));
            const Vector second = _mm256_cmpeq_epi8(
                before1, _mm256_set1_epi8(static_cast<char>(lookup.prefixes[p][1])));
            bits |= first & second & _mm256_set1_epi8(static_cast<char>(3 << (2 * p)));
        }
        return bits;
    }

    template<Breaks Rule, Completeness Mode, std::size_t... H>
    static Vector lastBits(Vector low, Vector highNibble, std::index_sequence<H...>)
    {
        constexpr const WideLookup<Rule, Mode> &lookup = wideLookup<Rule, Mode>;
        return ((_mm256_cmpeq_epi8(highNibble, _mm256_set1_epi8(static_cast<char>(8 + H))) &
                 _mm256_shuffle_epi8(tableOf(lookup.byHighNibble[H]), low)) |
                ... | _mm256_setzero_si256());
    }

    static Vector tableOf(const std::array<char, 16> &t)
    {
        return table(t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10], t[11],
                     t[12], t[13], t[14], t[15]);
    }
};

#include "x86kernels.inc"

} // namespace avx2

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

} // namespace

__attribute__((flatten)) Tally classifySse2(const unsigned char *bytes, std::size_t size,
                                            BreakSet set, Surroundings &around, Window *windows)
{
    return sse2::classify(bytes, size, set, around, windows);
}

TAVRINEL_AVX2 __attribute__((flatten)) Tally classifyAvx2(const unsigned char *bytes,
                                                          std::size_t size, BreakSet set,
                                                          Surroundings &around, Window *windows)
{
    return avx2::classify(bytes, size, set, around, windows);
}

bool hasAvx2()
{
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi");
}

} // namespace tavrinel::utf8::x86

#endif
