#include "utf8.h"

namespace tavrinel::input
{

namespace
{

// Length of the well-formed sequence starting with `lead`, and the range its second byte must
// lie in; zero length for a byte that cannot start a sequence.
struct SequenceShape {
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

SequenceShape shapeOf(unsigned char lead)
{
    if (lead < 0x80)
        return {1};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2};
    if (lead == 0xE0) // no overlong forms
        return {3, 0xA0};
    if (lead == 0xED) // no surrogates
        return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3};
    if (lead == 0xF0)
        return {4, 0x90};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4};
    if (lead == 0xF4) // nothing beyond U+10FFFF
        return {4, 0x80, 0x8F};
    return {};
}

bool wellFormedAt(const unsigned char *s, qsizetype available, const SequenceShape &shape)
{
    if (shape.length == 0 || available < shape.length)
        return false;
    if (shape.length > 1 && (s[1] < shape.low || s[1] > shape.high))
        return false;
    for (int k = 2; k < shape.length; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return false;
    }
    return true;
}

} // namespace

std::optional<qsizetype> firstInvalidUtf8(QByteArrayView bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const SequenceShape shape = shapeOf(s[i]);
        if (!wellFormedAt(s + i, size - i, shape))
            return i;
        i += shape.length;
    }
    return std::nullopt;
}

} // namespace tavrinel::input
