#pragma once

// What the AVX2 kernels share (x86-64 only). Each function carries the target attribute, so that
// code which includes this stays baseline code.

#include <cstdint>
#include <immintrin.h>

#define TAVRINEL_AVX2 __attribute__((target("avx2,popcnt,bmi")))

namespace tavrinel::utf8::x86
{

TAVRINEL_AVX2 inline std::uint64_t bits32(__m256i mask)
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(mask));
}

TAVRINEL_AVX2 inline __m256i table(char c0, char c1, char c2, char c3, char c4, char c5, char c6,
                                   char c7, char c8, char c9, char c10, char c11, char c12,
                                   char c13, char c14, char c15)
{
    return _mm256_setr_epi8(c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12, c13, c14, c15,
                            c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12, c13, c14, c15);
}

TAVRINEL_AVX2 inline __m256i highNibbles(__m256i v)
{
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

// The bytes `n` places before each byte of `input`, the first ones taken from `previous`.
template<int N> TAVRINEL_AVX2 inline __m256i before(__m256i input, __m256i previous)
{
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - N);
}

} // namespace tavrinel::utf8::x86
