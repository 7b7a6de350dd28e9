#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrinel {

// Which characters close a paragraph in character mode: sentence ends only, or word ends too.
enum class Completeness : std::int16_t { Sentence = 1, Word = 2 };

constexpr bool isSentenceBreak(char16_t c)
{
    return c == u'.' || c == u'?' || c == u'!' || c == u';';
}

constexpr bool isWordBreak(char16_t c)
{
    return isSentenceBreak(c) || c == u' ' || c == u',' || c == u':';
}

constexpr bool isBreak(char16_t c, Completeness mode)
{
    return mode == Completeness::Word ? isWordBreak(c) : isSentenceBreak(c);
}

// 0-based index of the first break character at or after `from`; text.size() when there is none.
std::size_t findBreak(std::u16string_view text, std::size_t from, Completeness mode);

// Number of break characters in the text.
std::size_t countBreaks(std::u16string_view text, Completeness mode);

// The break copy of an article: the article with every break character turned into '.', and a
// '.' appended when the article does not end with one. Only the positions of the dots matter, so
// the copy is never built: it answers from the article itself, which makes it free to create and
// lets one instance serve a whole run. Positions are 1-based.
class BreakCopy {
public:
    // Throws std::length_error for an article whose positions would not fit 32-bit arithmetic.
    BreakCopy(std::u16string_view article, Completeness mode);

    std::u16string_view article() const { return article_; }
    Completeness mode() const { return mode_; }
    std::int32_t articleLength() const { return static_cast<std::int32_t>(article_.size()); }

    // Smallest position >= from that holds '.' in the copy. It is articleLength() + 1, the dot
    // appended after the article, when the article has no break character from `from` on.
    std::int32_t nextDot(std::int32_t from) const;

    static constexpr std::size_t maxArticleLength = 0x7FFF0000;

private:
    std::u16string_view article_;
    Completeness mode_;
};

} // namespace tavrinel
