#pragma once

#include <iterator>
#include <string_view>

namespace tavrinel
{

// The entity that stands for an HTML-special character in a paragraph, or nothing for any other
// character. One table for both encodings: the specials are ASCII, so a UTF-8 byte and a UTF-16
// unit compare alike.
template<class Char> struct HtmlEntities {
    static constexpr Char amp[] = {'&', 'a', 'm', 'p', ';'};
    static constexpr Char lt[] = {'&', 'l', 't', ';'};
    static constexpr Char gt[] = {'&', 'g', 't', ';'};
    static constexpr Char quot[] = {'&', 'q', 'u', 'o', 't', ';'};
};

template<class Char> constexpr std::basic_string_view<Char> htmlEntity(Char c)
{
    using E = HtmlEntities<Char>;
    switch (c) {
    case Char('&'):
        return {E::amp, std::size(E::amp)};
    case Char('<'):
        return {E::lt, std::size(E::lt)};
    case Char('>'):
        return {E::gt, std::size(E::gt)};
    case Char('"'):
        return {E::quot, std::size(E::quot)};
    default:
        return {};
    }
}

// Hands the text to `append` in pieces: runs of ordinary characters as they are and each special
// character as its entity. The paragraph tags never pass through here, so they stay markup.
template<class Char, class Append>
void appendEscaped(std::basic_string_view<Char> text, Append &&append)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::basic_string_view<Char> entity = htmlEntity(text[i]);
        if (entity.empty())
            continue;
        if (i > run)
            append(text.substr(run, i - run));
        append(entity);
        run = i + 1;
    }
    if (run < text.size())
        append(text.substr(run));
}

} // namespace tavrinel
