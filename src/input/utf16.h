#pragma once

#include "encoding.h"

#include <QByteArrayView>
#include <QString>
#include <variant>

namespace tavrinel::input
{

// The bytes hold no valid UTF-16 from `offset` on: an unpaired surrogate, or an odd last byte.
struct Utf16Invalid {
    qsizetype offset = 0;
};

// UTF-16 bytes in the byte order `order` (Utf16LE or Utf16BE) as text. Strict where Qt's decoder
// is not: it lets unpaired surrogates through and silently replaces an odd last byte.
std::variant<QString, Utf16Invalid> decodeUtf16(QByteArrayView bytes, Encoding order);

} // namespace tavrinel::input
