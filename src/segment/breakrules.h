#pragma once

// Which characters end sentences and words: one table per rule. Everything that looks for breaks
// — the UTF-16 core, the UTF-8 engine's scalar and vector kernels — takes its characters from
// these tables at compile time, so a character added here is added everywhere.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrinel
{

// Which characters close a paragraph in character mode: sentence ends only, or word ends too.
enum class Completeness : std::int16_t { Sentence = 1, Word = 2 };

// The window's rule (ASCII punctuation only) or the rule for Chinese text.
enum class Breaks : std::int16_t { Ascii = 1, Cjk = 2 };

struct BreakTable {
    std::u16string_view sentenceEnds;
    std::u16string_view wordEnds; // added to the sentence ends in word-complete mode
    std::u16string_view closing;
    std::u16string_view whiteSpace;
    // Without runs every end character is a stop of its own. With runs a break is an end
    // character followed by every end character or closing mark right after it, and only the
    // last of them is a stop; an ASCII end character that is not white space counts as an end
    // character, to start a run or to go on with one, only before a boundary: the end of the
    // text, white space, a character outside ASCII, an end character or a closing mark. So
    // "3.14" and "example.com" are not cut, quotes stay with their sentence, and a paragraph
    // never ends on an ASCII end right before a letter or digit.
    bool runs = false;
};

inline constexpr BreakTable asciiBreakTable{u".?!;", u" ,:", u"", u"", false};

inline constexpr BreakTable cjkBreakTable{
    u".?!;\u3002\uFF01\uFF1F\uFF1B\uFF0E\uFF61\u2026",
    u" ,:\uFF0C\uFF1A\u3001\u3000",
    u"\"')]}\u201D\u2019\u300D\u300F\uFF09\u300B\u3009\u3011\u3015\u3017\uFF3D\uFF5D\uFF02\uFF07",
    u" \t\r\n\u00A0\u3000",
    true,
};

constexpr const BreakTable &breakTable(Breaks rule)
{
    return rule == Breaks::Cjk ? cjkBreakTable : asciiBreakTable;
}

// What a character is under a rule and mode; a character may be more than one.
namespace charclass
{
inline constexpr unsigned end = 1;
inline constexpr unsigned closing = 2;
inline constexpr unsigned white = 4;
} // namespace charclass

constexpr unsigned classOf(char16_t c, Breaks rule, Completeness mode)
{
    const BreakTable &table = breakTable(rule);
    const auto in = [c](std::u16string_view set) {
        return set.find(c) != std::u16string_view::npos;
    };
    const bool end = in(table.sentenceEnds) || (mode == Completeness::Word && in(table.wordEnds));
    return (end ? charclass::end : 0U) | (in(table.closing) ? charclass::closing : 0U) |
           (in(table.whiteSpace) ? charclass::white : 0U);
}

// classOf for every code unit at run time: the high byte picks a page of 256 entries, page 0
// holding no class, the low byte the entry.
class ClassTable
{
public:
    constexpr ClassTable(Breaks rule, Completeness mode)
    {
        std::size_t pages = 1;
        const BreakTable &table = breakTable(rule);
        for (const std::u16string_view set :
             {table.sentenceEnds, table.wordEnds, table.closing, table.whiteSpace}) {
            for (const char16_t c : set) {
                auto &page = page_[c >> 8];
                if (page == 0)
                    page = static_cast<std::uint8_t>(pages++);
                entries_[page][c & 0xFF] = static_cast<std::uint8_t>(classOf(c, rule, mode));
            }
        }
        if (pages > maxPages)
            throw "a break table spreads over too many pages"; // fails the constant evaluation
    }

    constexpr unsigned of(char16_t c) const { return entries_[page_[c >> 8]][c & 0xFF]; }

private:
    static constexpr std::size_t maxPages = 8;
    std::array<std::uint8_t, 256> page_{};
    std::array<std::array<std::uint8_t, 256>, maxPages> entries_{};
};

template<Breaks Rule, Completeness Mode> inline constexpr ClassTable classTable{Rule, Mode};

// The ASCII characters of a rule and mode whose classes pass `test`, as a list the vector code
// unfolds into one compare each.
struct CharList {
    std::array<char16_t, 32> chars{};
    std::size_t size = 0;
};

template<class Test> constexpr CharList asciiWhere(Breaks rule, Completeness mode, Test test)
{
    CharList list;
    for (char16_t c = 0; c < 0x80; ++c) {
        const unsigned classes = classOf(c, rule, mode);
        if (classes != 0 && test(classes))
            list.chars[list.size++] = c;
    }
    return list;
}

// Having every class of `With` and none of `Without`.
template<Breaks Rule, Completeness Mode, unsigned With, unsigned Without = 0>
inline constexpr CharList asciiChars = asciiWhere(Rule, Mode, [](unsigned classes) {
    return (classes & With) == With && (classes & Without) == 0;
});

// Having any class of `Any`.
template<Breaks Rule, Completeness Mode, unsigned Any>
inline constexpr CharList asciiCharsAny = asciiWhere(Rule, Mode, [](unsigned classes) {
    return (classes & Any) != 0;
});

// The rule's characters outside ASCII that are ends or closing marks; white space outside ASCII
// needs no list, as every character outside ASCII is a boundary.
template<Breaks Rule, Completeness Mode>
inline constexpr CharList wideMembers = [] {
    CharList list;
    const BreakTable &table = breakTable(Rule);
    for (const std::u16string_view set :
         {table.sentenceEnds, table.wordEnds, table.closing, table.whiteSpace}) {
        for (const char16_t c : set) {
            const unsigned classes = classOf(c, Rule, Mode);
            bool seen = false;
            for (std::size_t i = 0; i < list.size; ++i)
                seen = seen || list.chars[i] == c;
            if (c >= 0x80 && !seen && (classes & (charclass::end | charclass::closing)) != 0)
                list.chars[list.size++] = c;
        }
    }
    return list;
}();

} // namespace tavrinel
