// UTF-8 validation with AVX2, chosen at run time where the processor has it.

#include "x86.h"

#if TAVRINEL_UTF8_X86

#include "avx2.h"

#include <cstring>

namespace tavrinel::utf8::x86
{

namespace
{

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

} // namespace tavrinel::utf8::x86

#endif
