#pragma once

// Finding break characters fast: eight UTF-16 units are tested at once, so the scan does not
// branch per character. Kept inline because a run asks for the next break once per paragraph.

#include "breakrules.h"

#include <bit>
#include <cstddef>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrinel
{

// The break characters of the window's rule, where every end character is a stop.
constexpr bool isSentenceBreak(char16_t c)
{
    return (classTable<Breaks::Ascii, Completeness::Sentence>.of(c) & charclass::end) != 0;
}

constexpr bool isWordBreak(char16_t c)
{
    return (classTable<Breaks::Ascii, Completeness::Word>.of(c) & charclass::end) != 0;
}

constexpr bool isBreak(char16_t c, Completeness mode)
{
    return mode == Completeness::Word ? isWordBreak(c) : isSentenceBreak(c);
}

// Set bits of a 16-bit mask, such as a vector compare's byte mask. std::popcount would be a call
// into the compiler's library where the baseline instruction set has no population count.
constexpr int bitCount16(unsigned mask)
{
    mask = mask - ((mask >> 1) & 0x5555U);
    mask = (mask & 0x3333U) + ((mask >> 2) & 0x3333U);
    mask = (mask + (mask >> 4)) & 0x0F0FU;
    return static_cast<int>((mask + (mask >> 8)) & 0x1FU);
}

namespace detail
{

template<bool Word> constexpr bool isBreakOf(char16_t c)
{
    return Word ? isWordBreak(c) : isSentenceBreak(c);
}

#if defined(__SSE2__)
inline constexpr std::size_t blockUnits = 8;

// The lanes of an 8-unit block that hold a break character, as a byte mask (two bits a lane).
template<bool Word> inline unsigned breakMask(const char16_t *block)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block));
    static constexpr CharList ends = asciiChars < Breaks::Ascii,
                              Word ? Completeness::Word : Completeness::Sentence, charclass::end > ;
    const __m128i hit = [v]<std::size_t... I>(std::index_sequence<I...>)
    {
        return (_mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(ends.chars[I]))) | ...);
    }
    (std::make_index_sequence<ends.size>{});
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
#endif

template<bool Word> inline std::size_t findBreak(const char16_t *s, std::size_t n, std::size_t i)
{
#if defined(__SSE2__)
    for (; i + blockUnits <= n; i += blockUnits) {
        if (const unsigned mask = breakMask<Word>(s + i))
            return i + static_cast<std::size_t>(std::countr_zero(mask)) / 2;
    }
#endif
    for (; i < n; ++i) {
        if (isBreakOf<Word>(s[i]))
            return i;
    }
    return n;
}

template<bool Word> inline std::size_t countBreaks(const char16_t *s, std::size_t n)
{
    std::size_t count = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + blockUnits <= n; i += blockUnits)
        count += static_cast<std::size_t>(bitCount16(breakMask<Word>(s + i))) / 2;
#endif
    for (; i < n; ++i)
        count += isBreakOf<Word>(s[i]) ? 1U : 0U;
    return count;
}

} // namespace detail

// 0-based index of the first break character at or after `from`; text.size() when there is none.
inline std::size_t findBreak(std::u16string_view text, std::size_t from, Completeness mode)
{
    if (from >= text.size())
        return text.size();
    return mode == Completeness::Word ? detail::findBreak<true>(text.data(), text.size(), from)
                                      : detail::findBreak<false>(text.data(), text.size(), from);
}

// Number of break characters in the text.
inline std::size_t countBreaks(std::u16string_view text, Completeness mode)
{
    return mode == Completeness::Word ? detail::countBreaks<true>(text.data(), text.size())
                                      : detail::countBreaks<false>(text.data(), text.size());
}

} // namespace tavrinel
