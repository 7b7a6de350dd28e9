#include "segmenters.h"

namespace tavrinel
{

SegmentResult getNumberOfClauses(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart)
{
    if (copy.mode() != Completeness::Sentence)
        return getNumberOfClauses(BreakCopy(copy.article(), Completeness::Sentence, copy.rule()),
                                  cnum, cstart);
    const std::u16string_view article = copy.article();
    const std::int64_t length = copy.articleLength();
    const std::int64_t start = std::max<std::int32_t>(cstart, 1);
    if (start > length)
        return detail::endOfText(article);
    // A size of zero would take no sentence and never move on, so it takes every sentence that
    // is left, as a negative size does. Counting them all ends after the last dot of the copy:
    // the article's own last character, or the dot appended after it.
    if (cnum <= 0) {
        const std::int64_t lastDot = copy.nextDot(static_cast<std::int32_t>(length));
        return detail::cut(article, start, length, lastDot + 1);
    }
    std::int64_t count = 0;
    std::int64_t q = start;
    while (count < cnum && q <= length) {
        q = static_cast<std::int64_t>(copy.nextDot(static_cast<std::int32_t>(q))) + 1;
        ++count;
    }
    return detail::cut(article, start, q - 1, q);
}

SegmentResult getNumberOfWords(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart,
                               std::int16_t ctype)
{
    const Completeness mode = ctype == 2 ? Completeness::Word : Completeness::Sentence;
    return getNumberOfWords(BreakCopy(csrc, mode), cnum, cstart);
}

SegmentResult getNumberOfClauses(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart)
{
    return getNumberOfClauses(BreakCopy(csrc, Completeness::Sentence), cnum, cstart);
}

} // namespace tavrinel
