#include "breakruns.h"

#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrinel
{

namespace
{

using namespace charclass;

// The high bytes of the wide ends and closing marks.
template<Breaks Rule, Completeness Mode>
inline constexpr CharList widePages = [] {
    CharList pages;
    const CharList &wide = wideMembers<Rule, Mode>;
    for (std::size_t i = 0; i < wide.size; ++i) {
        const auto page = static_cast<char16_t>(wide.chars[i] >> 8);
        bool seen = false;
        for (std::size_t k = 0; k < pages.size; ++k)
            seen = seen || pages.chars[k] == page;
        if (!seen)
            pages.chars[pages.size++] = page;
    }
    return pages;
}();

template<Breaks Rule, Completeness Mode> class RunScanner
{
public:
    explicit RunScanner(std::u16string_view text) : text_(text) {}

    std::size_t find(std::size_t from) const
    {
        bool inRun = runReaches(from);
        const std::size_t n = text_.size();
        std::size_t looked = from; // units before it were passed over or are scanned one by one
        for (std::size_t i = from; i < n; ++i) {
            if (!inRun && i >= looked) {
                i = skipQuiet(i);
                looked = i + 8;
                if (i == n)
                    break;
            }
            inRun = inRun ? member(i) : starts(i);
            if (inRun && !member(i + 1))
                return i;
        }
        return n;
    }

    std::size_t count() const
    {
        std::size_t stops = 0;
        for (std::size_t from = 0; (from = find(from)) < text_.size(); ++from)
            ++stops;
        return stops;
    }

private:
    static unsigned classes(char16_t c) { return classTable<Rule, Mode>.of(c); }

    // Whether the character at i lets an ASCII end character before it count.
    bool boundary(std::size_t i) const
    {
        return i == text_.size() || text_[i] >= 0x80 || classes(text_[i]) != 0;
    }

    // An end character that counts here: ASCII ends other than white space only before a
    // boundary.
    bool starts(std::size_t i) const
    {
        if (i >= text_.size())
            return false;
        const char16_t c = text_[i];
        const unsigned k = classes(c);
        if ((k & end) == 0)
            return false;
        return c >= 0x80 || (k & white) != 0 || boundary(i + 1);
    }

    // What a run goes on with: an end character that counts, or a closing mark.
    bool member(std::size_t i) const
    {
        return i < text_.size() && ((classes(text_[i]) & closing) != 0 || starts(i));
    }

    // Whether a run that started before `from` goes on up to it.
    bool runReaches(std::size_t from) const
    {
        for (std::size_t j = from; j > 0 && member(j - 1); --j) {
            if (starts(j - 1))
                return true;
        }
        return false;
    }

    // Outside a run, eight units at a time past those that cannot start one.
    std::size_t skipQuiet(std::size_t i) const
    {
#if defined(__SSE2__)
        const std::size_t n = text_.size();
        while (i + 8 <= n && !mayStart(text_.data() + i))
            i += 8;
#endif
        return i;
    }

#if defined(__SSE2__)
    static bool mayStart(const char16_t *units)
    {
        constexpr CharList ascii = asciiChars<Rule, Mode, end>;
        constexpr CharList wide = widePages<Rule, Mode>;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units));
        const __m128i high = _mm_srli_epi16(v, 8);
        const __m128i hit = [&]<std::size_t... A, std::size_t... W>(std::index_sequence<A...>,
                                                                    std::index_sequence<W...>)
        {
            // Wide ends by the 256 units they are among: a few compares for all of them.
            return (_mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(ascii.chars[A]))) | ... |
                    _mm_setzero_si128()) |
                   (_mm_cmpeq_epi16(high, _mm_set1_epi16(static_cast<short>(wide.chars[W]))) | ... |
                    _mm_setzero_si128());
        }
        (std::make_index_sequence<ascii.size>{}, std::make_index_sequence<wide.size>{});
        return _mm_movemask_epi8(hit) != 0;
    }
#endif

    std::u16string_view text_;
};

} // namespace

std::size_t findRunEnd(std::u16string_view text, std::size_t from, Breaks rule, Completeness mode)
{
    static_assert(cjkBreakTable.runs && !asciiBreakTable.runs);
    if (rule != Breaks::Cjk)
        return text.size();
    if (mode == Completeness::Word)
        return RunScanner<Breaks::Cjk, Completeness::Word>(text).find(from);
    return RunScanner<Breaks::Cjk, Completeness::Sentence>(text).find(from);
}

std::size_t countRunEnds(std::u16string_view text, Breaks rule, Completeness mode)
{
    if (rule != Breaks::Cjk)
        return 0;
    if (mode == Completeness::Word)
        return RunScanner<Breaks::Cjk, Completeness::Word>(text).count();
    return RunScanner<Breaks::Cjk, Completeness::Sentence>(text).count();
}

} // namespace tavrinel
