#pragma once

#include "breakruns.h"
#include "breakscan.h"

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace tavrinel
{

// The break copy of an article: the article with a '.' at every position that holds a stop under
// the rule, and a '.' appended when the article's last character holds none. Only the positions of
// the dots matter, so the copy is never built: it answers from the article itself, which makes it
// free to create and lets one instance serve a whole run. Positions are 1-based.
class BreakCopy
{
public:
    static constexpr std::size_t maxArticleLength = 0x7FFF0000;

    // Throws std::length_error for an article whose positions would not fit 32-bit arithmetic.
    BreakCopy(std::u16string_view article, Completeness mode, Breaks rule = Breaks::Ascii)
        : article_(article), mode_(mode), rule_(rule)
    {
        if (article.size() > maxArticleLength)
            throw std::length_error("article too long");
    }

    std::u16string_view article() const { return article_; }
    Completeness mode() const { return mode_; }
    Breaks rule() const { return rule_; }
    std::int32_t articleLength() const { return static_cast<std::int32_t>(article_.size()); }

    // Smallest position >= from that holds '.' in the copy. It is articleLength() + 1, the dot
    // appended after the article, when the article has no break character from `from` on.
    std::int32_t nextDot(std::int32_t from) const
    {
        const std::size_t start = from < 1 ? 0 : static_cast<std::size_t>(from) - 1;
        if (rule_ != Breaks::Ascii)
            return static_cast<std::int32_t>(findRunEnd(article_, start, rule_, mode_)) + 1;
        return static_cast<std::int32_t>(findBreak(article_, start, mode_)) + 1;
    }

private:
    std::u16string_view article_;
    Completeness mode_;
    Breaks rule_;
};

} // namespace tavrinel
