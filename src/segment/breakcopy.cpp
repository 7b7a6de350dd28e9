#include "breakcopy.h"

#include <bit>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrinel {

namespace {

#if defined(__SSE2__)
// Lanes of an 8-unit block that hold a break character, as a byte mask (two bits per lane).
template<bool Word>
inline unsigned breakMask(const char16_t *block)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block));
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(u'.')),
                                            _mm_cmpeq_epi16(v, _mm_set1_epi16(u'?'))),
                               _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(u'!')),
                                            _mm_cmpeq_epi16(v, _mm_set1_epi16(u';'))));
    if constexpr (Word) {
        hit = _mm_or_si128(hit, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(u' ')),
                                                          _mm_cmpeq_epi16(v, _mm_set1_epi16(u','))),
                                             _mm_cmpeq_epi16(v, _mm_set1_epi16(u':'))));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
constexpr std::size_t blockSize = 8;
#endif

template<bool Word>
constexpr bool isBreakOf(char16_t c)
{
    return Word ? isWordBreak(c) : isSentenceBreak(c);
}

template<bool Word>
std::size_t findBreakIn(const char16_t *s, std::size_t n, std::size_t i)
{
#if defined(__SSE2__)
    for (; i + blockSize <= n; i += blockSize) {
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

template<bool Word>
std::size_t countBreaksIn(const char16_t *s, std::size_t n)
{
    std::size_t count = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + blockSize <= n; i += blockSize)
        count += static_cast<std::size_t>(std::popcount(breakMask<Word>(s + i))) / 2;
#endif
    for (; i < n; ++i)
        count += isBreakOf<Word>(s[i]) ? 1U : 0U;
    return count;
}

} // namespace

std::size_t findBreak(std::u16string_view text, std::size_t from, Completeness mode)
{
    if (from >= text.size())
        return text.size();
    return mode == Completeness::Word ? findBreakIn<true>(text.data(), text.size(), from)
                                      : findBreakIn<false>(text.data(), text.size(), from);
}

std::size_t countBreaks(std::u16string_view text, Completeness mode)
{
    return mode == Completeness::Word ? countBreaksIn<true>(text.data(), text.size())
                                      : countBreaksIn<false>(text.data(), text.size());
}

BreakCopy::BreakCopy(std::u16string_view article, Completeness mode)
    : article_(article), mode_(mode)
{
    if (article.size() > maxArticleLength)
        throw std::length_error("article too long");
}

std::int32_t BreakCopy::nextDot(std::int32_t from) const
{
    const std::size_t start = from < 1 ? 0 : static_cast<std::size_t>(from) - 1;
    return static_cast<std::int32_t>(findBreak(article_, start, mode_)) + 1;
}

} // namespace tavrinel
