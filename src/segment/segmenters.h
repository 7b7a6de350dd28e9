#pragma once

#include "breakcopy.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace tavrinel
{

// One paragraph cut off an article and the 1-based position where the next one begins. The text
// is a view into the article it was cut from, so the article must outlive the result.
struct SegmentResult {
    std::u16string_view text;
    std::int32_t next = 0;

    friend bool operator==(const SegmentResult &, const SegmentResult &) = default;
};

// A paragraph of at least `cnum` characters from `cstart` on, ending at the first break character
// at or after its cnum-th character. ctype 2 means word-complete; any other value
// sentence-complete.
SegmentResult getNumberOfWords(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart,
                               std::int16_t ctype);

// A paragraph of `cnum` sentences from `cstart` on; a size of zero or less takes the rest.
SegmentResult getNumberOfClauses(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart);

namespace detail
{

// Characters from..to (1-based, inclusive, `to` cut at the article's end) and the next start.
// Positions are taken in 64 bits so that sums near the 32-bit limit cannot wrap.
inline SegmentResult cut(std::u16string_view article, std::int64_t from, std::int64_t to,
                         std::int64_t next)
{
    to = std::min(to, static_cast<std::int64_t>(article.size()));
    const std::int64_t count = to >= from ? to - from + 1 : 0;
    return {article.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count)),
            static_cast<std::int32_t>(next)};
}

inline SegmentResult endOfText(std::u16string_view article)
{
    return {article.substr(article.size()), static_cast<std::int32_t>(article.size()) + 1};
}

} // namespace detail

// The character cut against a break copy made once for a whole run (inline: called per paragraph).
inline SegmentResult getNumberOfWords(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart)
{
    const std::u16string_view article = copy.article();
    const std::int64_t length = copy.articleLength();
    const std::int64_t start = std::max<std::int32_t>(cstart, 1);
    if (start > length)
        return detail::endOfText(article);
    // Small sizes do not split at all; neither does a rest of at most N + 1 characters.
    if (length <= start + cnum || cnum <= 1)
        return detail::cut(article, start, length, length + 1);
    const std::int64_t dot = copy.nextDot(static_cast<std::int32_t>(start + cnum - 1));
    return detail::cut(article, start, dot, dot + 1);
}

// The sentence cut against a break copy made once for a whole run; a copy made for word breaks
// is taken as its sentence-complete form.
SegmentResult getNumberOfClauses(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart);

} // namespace tavrinel
