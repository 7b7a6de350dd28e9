// The x86 kernels: SSE2, which every x86-64 processor has, and AVX2, chosen at run time. Each
// AVX2 function carries its target attribute, so the rest of the program stays baseline code.

#include "x86.h"

#if TAVRINEL_UTF8_X86

#include <bit>
#include <cstring>
#include <immintrin.h>

namespace tavrinel::utf8::x86
{

namespace
{

// The last, partial window is classified from a zero-padded copy: no read past the input. Zero
// bytes are ASCII, so only their lead bits need clearing afterwards.
template<Window (*classifyWindow)(const unsigned char *, bool)>
__attribute__((always_inline)) inline Tally
classifyWith(const unsigned char *bytes, std::size_t size, bool wordBreaks, Window *windows)
{
    Tally tally;
    std::size_t i = 0;
    for (; i + windowBytes <= size; i += windowBytes) {
        windows[i / windowBytes] = classifyWindow(bytes + i, wordBreaks);
        tally.add(windows[i / windowBytes]);
    }
    if (i < size) {
        unsigned char tail[windowBytes] = {};
        std::memcpy(tail, bytes + i, size - i);
        Window window = classifyWindow(tail, wordBreaks);
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

Window windowSse2(const unsigned char *bytes, bool wordBreaks)
{
    Window window;
    const __m128i continuationTop = _mm_set1_epi8(static_cast<char>(0xBF));
    const __m128i fourLead = _mm_set1_epi8(static_cast<char>(0xF0));
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + 16 * k));
        const auto is = [v](char c) {
            return _mm_cmpeq_epi8(v, _mm_set1_epi8(c));
        };
        // Signed compare: continuation bytes 0x80..0xBF are the only ones at or below -65.
        const __m128i lead = _mm_cmpgt_epi8(v, continuationTop);
        const __m128i four = _mm_cmpeq_epi8(_mm_max_epu8(v, fourLead), v);
        __m128i brk = _mm_or_si128(_mm_or_si128(is('.'), is('?')), _mm_or_si128(is('!'), is(';')));
        if (wordBreaks)
            brk = _mm_or_si128(brk, _mm_or_si128(_mm_or_si128(is(' '), is(',')), is(':')));
        window.lead |= bits16(lead) << (16 * k);
        window.four |= bits16(four) << (16 * k);
        window.brk |= bits16(brk) << (16 * k);
    }
    return window;
}

// --- AVX2 ---

#define TAVRINEL_AVX2 __attribute__((target("avx2,popcnt,bmi")))

TAVRINEL_AVX2 std::uint64_t bits32(__m256i mask)
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(mask));
}

TAVRINEL_AVX2 __m256i equal(__m256i v, char c)
{
    return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c));
}

TAVRINEL_AVX2 Window windowAvx2(const unsigned char *bytes, bool wordBreaks)
{
    Window window;
    const __m256i continuationTop = _mm256_set1_epi8(static_cast<char>(0xBF));
    const __m256i fourLead = _mm256_set1_epi8(static_cast<char>(0xF0));
    for (int k = 0; k < 2; ++k) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + 32 * k));
        const __m256i lead = _mm256_cmpgt_epi8(v, continuationTop);
        const __m256i four = _mm256_cmpeq_epi8(_mm256_max_epu8(v, fourLead), v);
        __m256i brk = _mm256_or_si256(_mm256_or_si256(equal(v, '.'), equal(v, '?')),
                                      _mm256_or_si256(equal(v, '!'), equal(v, ';')));
        if (wordBreaks)
            brk = _mm256_or_si256(
                brk, _mm256_or_si256(_mm256_or_si256(equal(v, ' '), equal(v, ',')), equal(v, ':')));
        window.lead |= bits32(lead) << (32 * k);
        window.four |= bits32(four) << (32 * k);
        window.brk |= bits32(brk) << (32 * k);
    }
    return window;
}

// UTF-8 validation by table look-ups on nibbles: each pair of consecutive bytes is checked
// against the error classes its first byte's high and low nibble and its second byte's high
// nibble allow; a byte that must be the second or third continuation of a longer sequence is
// checked apart. One error bit per class; any bit left set is an error.
constexpr char tooShort = 1 << 0;                    // a lead followed by a non-continuation
constexpr char tooLong = 1 << 1;                     // a continuation after ASCII
constexpr char overlong3 = 1 << 2;                   // E0 80..9F
constexpr char tooLarge = 1 << 3;                    // F4 90.. and above
constexpr char surrogate = 1 << 4;                   // ED A0..BF
constexpr char overlong2 = 1 << 5;                   // C0, C1
constexpr char tooLarge1000 = 1 << 6;                // F5.. 80..8F
constexpr char overlong4 = 1 << 6;                   // F0 80..8F
constexpr char twoConts = static_cast<char>(1 << 7); // a continuation after a continuation
constexpr char carry = tooShort | tooLong | twoConts;

TAVRINEL_AVX2 __m256i table(char c0, char c1, char c2, char c3, char c4, char c5, char c6, char c7,
                            char c8, char c9, char c10, char c11, char c12, char c13, char c14,
                            char c15)
{
    return _mm256_setr_epi8(c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12, c13, c14, c15,
                            c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12, c13, c14, c15);
}

TAVRINEL_AVX2 __m256i highNibbles(__m256i v)
{
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

// The bytes `n` places before each byte of `input`, the first ones taken from `previous`.
template<int N> TAVRINEL_AVX2 __m256i before(__m256i input, __m256i previous)
{
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - N);
}

TAVRINEL_AVX2 __m256i specialCases(__m256i input, __m256i prev1)
{
    const __m256i byte1High = _mm256_shuffle_epi8(
        table(tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, twoConts,
              twoConts, twoConts, twoConts, tooShort | overlong2, tooShort,
              tooShort | overlong3 | surrogate, tooShort | tooLarge | tooLarge1000 | overlong4),
        highNibbles(prev1));
    constexpr char large = tooLarge | tooLarge1000;
    const __m256i byte1Low = _mm256_shuffle_epi8(
        table(carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry,
              carry | tooLarge, carry | large, carry | large, carry | large, carry | large,
              carry | large, carry | large, carry | large, carry | large, carry | large | surrogate,
              carry | large, carry | large),
        _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F)));
    constexpr char continuation = tooLong | overlong2 | twoConts;
    const __m256i byte2High = _mm256_shuffle_epi8(
        table(tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
              continuation | overlong3 | tooLarge1000 | overlong4,
              continuation | overlong3 | tooLarge, continuation | surrogate | tooLarge,
              continuation | surrogate | tooLarge, tooShort, tooShort, tooShort, tooShort),
        highNibbles(input));
    return _mm256_and_si256(_mm256_and_si256(byte1High, byte1Low), byte2High);
}

TAVRINEL_AVX2 __m256i errorsOf(__m256i input, __m256i previous)
{
    const __m256i special = specialCases(input, before<1>(input, previous));
    // Third and fourth bytes of three- and four-byte sequences must be continuations; exactly
    // there the special cases flag "two continuations", and the two cancel out.
    const __m256i third =
        _mm256_subs_epu8(before<2>(input, previous), _mm256_set1_epi8(0xE0 - 0x80));
    const __m256i fourth =
        _mm256_subs_epu8(before<3>(input, previous), _mm256_set1_epi8(0xF0 - 0x80));
    const __m256i must =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    return _mm256_xor_si256(must, special);
}

// Non-zero where a sequence that starts in the last three bytes runs past the block.
TAVRINEL_AVX2 __m256i incompleteAtEnd(__m256i input)
{
    const __m256i limits =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                         static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
    return _mm256_subs_epu8(input, limits);
}

} // namespace

TAVRINEL_AVX2 bool validAvx2(const unsigned char *bytes, std::size_t size)
{
    __m256i error = _mm256_setzero_si256();
    __m256i previous = _mm256_setzero_si256();
    __m256i pending = _mm256_setzero_si256(); // a sequence runs on into the next block
    std::size_t i = 0;
    unsigned char tail[32] = {};
    while (i < size) {
        __m256i input;
        if (i + 32 <= size) {
            input = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + i));
        } else {
            // Zero padding after the end is ASCII: a sequence cut off by the end shows as too
            // short.
            std::memcpy(tail, bytes + i, size - i);
            input = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(tail));
        }
        if (_mm256_movemask_epi8(input) == 0) {
            error = _mm256_or_si256(error, pending);
            pending = _mm256_setzero_si256();
        } else {
            error = _mm256_or_si256(error, errorsOf(input, previous));
            pending = incompleteAtEnd(input);
        }
        previous = input;
        i += 32;
    }
    error = _mm256_or_si256(error, pending);
    return _mm256_testz_si256(error, error) != 0;
}

__attribute__((flatten)) Tally classifySse2(const unsigned char *bytes, std::size_t size,
                                            bool wordBreaks, Window *windows)
{
    return classifyWith<windowSse2>(bytes, size, wordBreaks, windows);
}

TAVRINEL_AVX2 __attribute__((flatten)) Tally
classifyAvx2(const unsigned char *bytes, std::size_t size, bool wordBreaks, Window *windows)
{
    return classifyWith<windowAvx2>(bytes, size, wordBreaks, windows);
}

bool hasAvx2()
{
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi");
}

} // namespace tavrinel::utf8::x86

#endif
