#include "checks.h"

#include "generate/sizetext.h"
#include "segment/breakcopy.h"

namespace tavrinel
{

std::int64_t characterCount(std::u16string_view text)
{
    return static_cast<std::int64_t>(text.size());
}

std::int64_t sentenceCount(std::u16string_view text, Breaks rule)
{
    if (rule == Breaks::Ascii) {
        const auto ends = static_cast<std::int64_t>(countBreaks(text, Completeness::Sentence));
        const bool closed = !text.empty() && isSentenceBreak(text.back());
        return ends + (closed ? 0 : 1);
    }
    const auto ends = static_cast<std::int64_t>(countRunEnds(text, rule, Completeness::Sentence));
    const std::size_t last = text.size() - 1;
    const bool closed =
        !text.empty() && findRunEnd(text, last, rule, Completeness::Sentence) == last;
    return ends + (closed ? 0 : 1);
}

bool articleTooShort(std::int64_t characters)
{
    return characters < minimumArticleLength;
}

bool sizeTextAcceptable(std::u16string_view text)
{
    return isSizeNumber(text);
}

} // namespace tavrinel
