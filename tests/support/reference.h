#pragma once

// A deliberately plain model of the paragraph rules, written straight from their definition:
// the break copy is built as a string on every call and positions are walked one by one. The
// fast core is checked against it on generated articles.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace reference
{

// With `cjk`, the rule for Chinese text: a stop on the last character of each run.
std::u16string breakCopy(const std::u16string &article, bool wordComplete, bool cjk = false);

// (paragraph text, next start)
using Segment = std::pair<std::u16string, std::int32_t>;

Segment words(const std::u16string &src, std::int16_t num, std::int32_t start, std::int16_t type,
              bool cjk = false);
Segment clauses(const std::u16string &src, std::int16_t num, std::int32_t start, bool cjk = false);

std::u16string run(const std::u16string &article, std::int16_t size, bool byCharacters,
                   bool wordComplete, bool cjk = false);

// Whether the text is a size number, by a regular expression.
bool isNumber(const std::u16string &text);

// Size conversion through long double arithmetic and the FPU's round-half-even mode.
std::optional<std::int16_t> convertSize(const std::u16string &text);

} // namespace reference
