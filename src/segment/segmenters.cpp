#include "segmenters.h"

#include <algorithm>

namespace tavrinel {

namespace {

// Characters from..to (1-based, inclusive, `to` cut at the article's end) and the next start.
SegmentResult cut(std::u16string_view article, std::int64_t from, std::int64_t to,
                  std::int64_t next)
{
    const auto length = static_cast<std::int64_t>(article.size());
    to = std::min(to, length);
    const auto count = to >= from ? to - from + 1 : 0;
    return {article.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count)),
            static_cast<std::int32_t>(next)};
}

SegmentResult endOfText(std::u16string_view article)
{
    return {article.substr(article.size()), static_cast<std::int32_t>(article.size()) + 1};
}

Completeness completenessOf(std::int16_t ctype)
{
    return ctype == 2 ? Completeness::Word : Completeness::Sentence;
}

} // namespace

SegmentResult getNumberOfWords(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart)
{
    const std::u16string_view article = copy.article();
    const std::int64_t length = copy.articleLength();
    // Sums are taken in 64 bits so that positions near the 32-bit limit cannot wrap.
    const std::int64_t start = std::max<std::int32_t>(cstart, 1);
    if (start > length)
        return endOfText(article);
    if (length <= start + cnum || cnum <= 1)
        return cut(article, start, length, length + 1);
    const std::int64_t nth = start + cnum - 1;
    const std::int64_t dot = copy.nextDot(static_cast<std::int32_t>(nth));
    return cut(article, start, dot, dot + 1);
}

SegmentResult getNumberOfClauses(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart)
{
    if (copy.mode() != Completeness::Sentence)
        return getNumberOfClauses(BreakCopy(copy.article(), Completeness::Sentence), cnum, cstart);
    const std::u16string_view article = copy.article();
    const std::int64_t length = copy.articleLength();
    const std::int64_t start = std::max<std::int32_t>(cstart, 1);
    if (start > length)
        return endOfText(article);
    // A size of zero would take no sentence and never move on, so it takes every sentence that
    // is left, as a negative size does. Counting them all ends after the last dot of the copy:
    // the article's own last character, or the dot appended after it.
    if (cnum <= 0) {
        const std::int64_t lastDot = isSentenceBreak(article.back()) ? length : length + 1;
        return cut(article, start, length, lastDot + 1);
    }
    std::int64_t count = 0;
    std::int64_t q = start;
    while (count < cnum && q <= length) {
        q = static_cast<std::int64_t>(copy.nextDot(static_cast<std::int32_t>(q))) + 1;
        ++count;
    }
    return cut(article, start, q - 1, q);
}

SegmentResult getNumberOfWords(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart,
                               std::int16_t ctype)
{
    return getNumberOfWords(BreakCopy(csrc, completenessOf(ctype)), cnum, cstart);
}

SegmentResult getNumberOfClauses(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart)
{
    return getNumberOfClauses(BreakCopy(csrc, Completeness::Sentence), cnum, cstart);
}

} // namespace tavrinel
