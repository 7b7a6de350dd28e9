#pragma once

// Breaks of a rule with runs (see BreakTable::runs) in UTF-16 text: a position holds a stop when
// its character ends a run, which depends on the characters around it, so the stops are found by
// walking the text rather than by looking at single characters.

#include "breakrules.h"

#include <cstddef>
#include <string_view>

namespace tavrinel
{

// 0-based index of the first character at or after `from` that ends a run; text.size() when
// there is none. The characters before `from` count: a run may have started before it.
std::size_t findRunEnd(std::u16string_view text, std::size_t from, Breaks rule, Completeness mode);

// Number of characters that end a run.
std::size_t countRunEnds(std::u16string_view text, Breaks rule, Completeness mode);

} // namespace tavrinel
