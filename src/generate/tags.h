#pragma once

#include <iterator>
#include <string_view>

namespace tavrinel
{

// The tags around every paragraph, for text in UTF-16 and, as they are ASCII, in UTF-8.
template<class Char> struct ParagraphTags {
    static constexpr Char openChars[] = {'<', 'p', '>'};
    static constexpr Char closeChars[] = {'<', '/', 'p', '>'};
    static constexpr std::basic_string_view<Char> open{openChars, std::size(openChars)};
    static constexpr std::basic_string_view<Char> close{closeChars, std::size(closeChars)};
};

} // namespace tavrinel
