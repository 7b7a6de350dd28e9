#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrinel
{

// Leading and trailing U+0020 spaces removed; no other white space counts.
std::u16string_view trimSpaces(std::u16string_view text);

// Whether the text, less surrounding spaces, is a decimal number: an optional sign, then digits
// with an optional point and fraction, or a point and digits. No range limit.
bool isSizeNumber(std::u16string_view text);

// The text as a paragraph size: a decimal number rounded half to even, which must fit 16 bits.
std::optional<std::int16_t> convertSize(std::u16string_view text);

} // namespace tavrinel
