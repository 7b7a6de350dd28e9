#pragma once

#include "segment/breakrules.h"

#include <cstdint>
#include <string_view>

namespace tavrinel
{

// An article shorter than this makes no sense to cut into paragraphs.
inline constexpr std::int64_t minimumArticleLength = 6;

// UTF-16 code units of the untrimmed text; every line break in the box counts as two.
std::int64_t characterCount(std::u16string_view text);

// The stops of the text's sentence-complete break copy under the rule: the window's (. ? ! ;) in
// the text, plus one for a last sentence without its end. The empty text has one sentence.
std::int64_t sentenceCount(std::u16string_view text, Breaks rule = Breaks::Ascii);

bool articleTooShort(std::int64_t characters);

// Whether the size box holds a number the size conversion understands, whatever its range.
bool sizeTextAcceptable(std::u16string_view text);

} // namespace tavrinel
