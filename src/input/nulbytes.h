#pragma once

#include "decodeerror.h"

#include <QByteArrayView>
#include <optional>

namespace tavrinel::input
{

// The NUL bytes at even and at odd offsets, and how many bytes there were. Pieces of a stream
// are added one after the other, so that the same judgement can be made while bytes stream past.
struct NulCounts {
    qint64 even = 0;
    qint64 odd = 0;
    qint64 bytes = 0;

    void add(QByteArrayView piece);
};

// What NUL bytes say about bytes without a mark. Nothing when they may be text: no NUL, or a
// stray few in a long text. Otherwise a refusal: UTF-16 without a mark, in the byte order named,
// when the NULs clearly say so and `sample` decodes cleanly in that order (the bytes themselves,
// or their start when `sampleIsWhole` is false); else not text at all.
std::optional<DecodeError> nulRefusal(const NulCounts &counts, QByteArrayView sample,
                                      bool sampleIsWhole);
std::optional<DecodeError> nulRefusal(QByteArrayView bytes);

} // namespace tavrinel::input
