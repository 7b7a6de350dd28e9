#pragma once

#include <QByteArrayView>
#include <QString>
#include <variant>

namespace tavrinel::input
{

// The bytes hold no valid GB18030 from `offset` on: the sequence starting there is malformed,
// unassigned or cut off by the end.
struct Gb18030Invalid {
    qsizetype offset = 0;
};

// This build has no GB18030 converter.
struct Gb18030Unavailable {
};

// GB18030 bytes (and so GBK and GB2312, its subsets) as UTF-16 text. Strict: nothing is
// replaced. The only place that knows how the platform converts GB18030.
std::variant<QString, Gb18030Invalid, Gb18030Unavailable> decodeGb18030(QByteArrayView bytes);

// Whether the bytes are GB18030 text. With `complete` false they are the start of a longer input,
// and a sequence cut off at their end does not count against them.
bool readsAsGb18030(QByteArrayView bytes, bool complete = true);

} // namespace tavrinel::input
