#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tavrinel
{

// Offset of the first byte that does not start a well-formed UTF-8 sequence, if there is one.
// Strict: no overlong forms, no encoded surrogates, nothing above U+10FFFF, and a sequence cut
// off by the end of the bytes is ill-formed.
std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes);

} // namespace tavrinel
