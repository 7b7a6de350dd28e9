#pragma once

#include <QByteArrayView>
#include <optional>

namespace tavrinel::input
{

// Offset of the first byte that does not start a well-formed UTF-8 sequence, if there is one.
// Well-formed as Unicode defines it: no overlong forms, no surrogates, nothing past U+10FFFF,
// and a sequence cut off by the end is not well-formed.
std::optional<qsizetype> firstInvalidUtf8(QByteArrayView bytes);

} // namespace tavrinel::input
